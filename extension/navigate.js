// Opens an address in the active tab (a new one when there is none) and
// answers once it has loaded.
const LOAD_TIMEOUT_MS = 14000; // the app gives up after 15 s

export function checkedAddress(text) {
  let url;
  try {
    url = new URL(text.includes('://') ? text : `https://${text.trim()}`);
  } catch {
    throw new Error(`not a web address: ${text}`);
  }
  if (url.protocol !== 'http:' && url.protocol !== 'https:') throw new Error(`not a web address: ${text}`);
  return url.href;
}

export async function activeTab() {
  const [tab] = await chrome.tabs.query({ active: true, lastFocusedWindow: true });
  return tab;
}

export function loaded(tabId) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      chrome.tabs.onUpdated.removeListener(listener);
      reject(new Error('the page did not finish loading'));
    }, LOAD_TIMEOUT_MS);
    function listener(id, change, tab) {
      if (id !== tabId || change.status !== 'complete' || tab.url === 'about:blank') return;
      clearTimeout(timer);
      chrome.tabs.onUpdated.removeListener(listener);
      resolve(tab);
    }
    chrome.tabs.onUpdated.addListener(listener);
  });
}

export async function navigate(params) {
  if (typeof params.url !== 'string' || !params.url) throw new Error('missing url');
  const url = checkedAddress(params.url);
  const current = await activeTab();
  const tab = current ? await chrome.tabs.update(current.id, { url }) : await chrome.tabs.create({ url });
  const done = await loaded(tab.id);
  return { ok: true, url: done.url, title: done.title };
}
