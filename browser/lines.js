// What the popup says to the host about profiles, and how it shows them. Pure functions: the
// popup's own module, tested as it is against the real host (tests/browser).

// The request that turns the new-profile form into a profile line. The host writes the line
// (a rule's "%" and "|" as the window and quorvane-cli write them) or says, in the window's
// words, what is wrong with the form; every field goes as a text.
export function composeRequest({ scheme, identifier, length, rule, login, userName }) {
  return {
    type: 'compose',
    scheme: String(scheme ?? 'strong'),
    identifier: String(identifier ?? ''),
    length: String(length ?? ''),
    rule: String(rule ?? ''),
    login: String(login ?? ''),
    userName: String(userName ?? ''),
  };
}

// The length a rule's lengths give, the longest up to 32, as the window and quorvane-cli take it.
export function lengthFor(minimum, maximum, fallback) {
  const longest = maximum > 0 ? Math.min(maximum, 32) : fallback;
  return Math.max(longest, minimum > 0 ? Math.min(minimum, 32) : 4);
}

// The lengths a site rule's text names, or null where it names none.
export function ruleLengths(rule) {
  const maximum = /maxlength:\s*(\d+)/.exec(rule ?? '');
  const minimum = /minlength:\s*(\d+)/.exec(rule ?? '');
  if (!maximum && !minimum)
    return null;
  return { minimum: minimum ? Number(minimum[1]) : 0, maximum: maximum ? Number(maximum[1]) : 32 };
}

// A saved profile as the list shows it: its settings, and its identifier only where it is not
// the site the popup's header already names.
export function profileText(profile, site) {
  const plain = (name) => String(name ?? '').trim().toLowerCase().replace(/^www\./, '').replace(/\.$/, '');
  return plain(profile.identifier) === plain(site) ? profile.label : `${profile.identifier}: ${profile.label}`;
}
