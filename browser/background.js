// Quorvane does no work on pages in the background: nothing runs on a page until the popup asks.
// What it does here, when the browser starts or the extension is installed, is to tell the user
// in the button's tooltip how to open the popup (the shortcut may have been changed in the
// browser's settings) and whether Quorvane's browser host answers, so that a missing
// installation shows before the first password is wanted.
const api = globalThis.browser ?? globalThis.chrome;

function hostVersion() {
  return new Promise((resolve) => {
    api.runtime.sendNativeMessage('org.quorvane.browser_host', { type: 'version' }, (reply) => {
      resolve(api.runtime.lastError || !reply ? null : reply.version);
    });
  });
}

async function showState() {
  const commands = await api.commands.getAll();
  const open = commands.find((command) => command.name === '_execute_action');
  const version = await hostVersion();
  let title = open && open.shortcut ? `Quorvane (${open.shortcut})` : 'Quorvane';
  if (version) {
    console.info(`Quorvane: the browser host ${version} answers`);
  } else {
    title += ': the browser host cannot be reached; install Quorvane or run "quorvane-cli browser setup"';
    console.warn('Quorvane: the browser host cannot be reached');
  }
  await api.action.setTitle({ title });
}

api.runtime.onInstalled.addListener(showState);
api.runtime.onStartup.addListener(showState);
