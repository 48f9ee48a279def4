// The profile line of a new profile, as Quorvane's profile file keeps it (the host reads it back
// and refuses what is no profile, saying why).

// A site rule's "|" would split the line and "%" then be ambiguous: written %7C and %25.
function ruleField(rule) {
  return rule.replaceAll('%', '%25').replaceAll('|', '%7C');
}

export function profileLine({ scheme, identifier, length, rule, login, userName }) {
  switch (scheme) {
    case 'compatible':
      return `${identifier}|${length}`;
    case 'lesspass':
      return `${identifier}|${length}|lesspass|aA9!|1|${login}`;
    case 'spectre':
      return `${identifier}|0|spectre|long|1|3|password|${userName}|`;
    default:
      return rule ? `${identifier}|${length}|strong|${ruleField(rule)}|1` : `${identifier}|${length}|strong`;
  }
}

// The length a rule's lengths give, the longest up to 32, as the window and quorvane-cli take it.
export function lengthFor(minimum, maximum, fallback) {
  const longest = maximum > 0 ? Math.min(maximum, 32) : fallback;
  return Math.max(longest, minimum > 0 ? Math.min(minimum, 32) : 4);
}
