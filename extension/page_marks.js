// Injected into the page a task acts on (the extension's isolated world, so
// the page's own scripts neither see nor change it). Numbers the page's
// interactive elements in the text form the desktop agent reads, and acts on
// them by number. Every entry point answers {ok, text} or {ok: false, error}
// and never throws: a throw would not reach the service worker intact.
(() => {
  if (globalThis.tarnwickPage) return;

  const MAX_MARKS = 100;
  const LABEL_LENGTH = 80;
  const VALUE_LENGTH = 60;
  const PAGE_TEXT_LENGTH = 4000;
  const SCROLL_LINE_PX = 40;
  const INTERACTIVE = [
    'a[href]', 'button', 'input:not([type=hidden])', 'select', 'textarea', 'summary',
    '[contenteditable=""]', '[contenteditable=true]', '[role]', '[onclick]', '[tabindex]:not([tabindex="-1"])',
  ].join(',');
  const ARIA_ROLES = {
    button: 'button', link: 'link', checkbox: 'checkbox', switch: 'checkbox', radio: 'radiobutton',
    textbox: 'textfield', searchbox: 'textfield', combobox: 'combobox', listbox: 'list', option: 'menuitem',
    menuitem: 'menuitem', menuitemcheckbox: 'menuitem', menuitemradio: 'menuitem', tab: 'radiobutton',
    slider: 'slider', spinbutton: 'incrementor', treeitem: 'row', gridcell: 'cell',
  };
  const TEXT_INPUTS = new Set(['text', 'search', 'email', 'url', 'tel', 'password', 'number', '']);
  const SELECTABLE_INPUTS = new Set(['text', 'search', 'url', 'tel', 'password', '']);

  let marks = [];

  const squeeze = (text) => (text || '').replace(/\s+/g, ' ').trim();
  const cut = (text, length) => Array.from(text).slice(0, length).join('');

  function roleOf(el) {
    const aria = (el.getAttribute('role') || '').split(' ')[0];
    if (ARIA_ROLES[aria]) return aria === 'textbox' && el.getAttribute('aria-multiline') === 'true' ? 'textarea' : ARIA_ROLES[aria];
    const tag = el.tagName.toLowerCase();
    if (tag === 'a') return 'link';
    if (tag === 'button' || tag === 'summary') return 'button';
    if (tag === 'select') return 'popupbutton';
    if (tag === 'textarea' || el.isContentEditable) return 'textarea';
    if (tag === 'input') {
      const type = (el.getAttribute('type') || '').toLowerCase();
      if (['button', 'submit', 'reset', 'image'].includes(type)) return 'button';
      if (type === 'checkbox') return 'checkbox';
      if (type === 'radio') return 'radiobutton';
      if (type === 'range') return 'slider';
      if (el.list) return 'combobox';
      return 'textfield';
    }
    // Plain elements with a click handler or a tab stop act like buttons.
    return aria ? '' : 'button';
  }

  // A <label> wrapped around its control: its words without the control's own text (a select's options).
  function labelText(label) {
    const copy = label.cloneNode(true);
    copy.querySelectorAll('select, textarea, input, button').forEach((control) => control.remove());
    return copy.textContent;
  }

  function labelOf(el) {
    const ids = el.getAttribute('aria-labelledby');
    if (ids) {
      const text = squeeze(ids.split(/\s+/).map((id) => document.getElementById(id)?.innerText || '').join(' '));
      if (text) return text;
    }
    const candidates = [
      el.getAttribute('aria-label'),
      ...(el.labels ? Array.from(el.labels, labelText) : []),
      el.tagName === 'INPUT' && ['button', 'submit', 'reset'].includes(el.type) ? el.value : '',
      el.tagName === 'INPUT' || el.tagName === 'TEXTAREA' || el.tagName === 'SELECT' ? '' : el.innerText,
      el.getAttribute('placeholder'),
      el.getAttribute('title'),
      el.getAttribute('alt'),
      el.querySelector?.('img[alt]')?.getAttribute('alt'),
    ];
    for (const candidate of candidates) {
      const text = squeeze(candidate);
      if (text) return cut(text, LABEL_LENGTH);
    }
    return '';
  }

  function isTextEntry(el) {
    if (el.tagName === 'TEXTAREA' || el.isContentEditable) return true;
    return el.tagName === 'INPUT' && TEXT_INPUTS.has((el.getAttribute('type') || '').toLowerCase());
  }

  function valueOf(el) {
    if (el.tagName === 'SELECT') return el.selectedOptions[0] ? squeeze(el.selectedOptions[0].text) : '';
    // A password never leaves the page, not even to the local planner.
    if (el.tagName === 'INPUT' && el.type === 'password') return el.value ? '(hidden)' : '';
    if (el.tagName === 'INPUT' && (el.type === 'range' || isTextEntry(el))) return el.value;
    if (el.tagName === 'TEXTAREA') return el.value;
    if (el.isContentEditable) return squeeze(el.innerText);
    return el.getAttribute('aria-valuenow') || '';
  }

  function selectedOf(el) {
    if (el.tagName === 'INPUT' && (el.type === 'checkbox' || el.type === 'radio')) return el.checked;
    for (const name of ['aria-checked', 'aria-pressed', 'aria-selected']) {
      const state = el.getAttribute(name);
      if (state === 'true') return true;
      if (state === 'false') return false;
    }
    return undefined;
  }

  const disabledOf = (el) => el.disabled === true || el.getAttribute('aria-disabled') === 'true';

  function visible(el) {
    if (el.closest('[hidden], [aria-hidden=true], [inert]')) return false;
    const rects = el.getClientRects();
    if (rects.length === 0 || (rects[0].width < 1 && rects[0].height < 1)) return false;
    const style = getComputedStyle(el);
    return style.visibility !== 'hidden' && style.display !== 'none' && style.opacity !== '0';
  }

  function markLine(id, el) {
    let line = `[${id}] ${roleOf(el)}`;
    const label = labelOf(el);
    if (label) line += ` "${label}"`;
    const value = valueOf(el);
    if (value) line += ` value="${cut(value, VALUE_LENGTH)}"`;
    if (selectedOf(el) === true) line += ' \u2713selected';
    if (disabledOf(el)) line += ' disabled';
    if (document.activeElement === el) line += ' focused';
    return line;
  }

  function snapshot() {
    const found = [];
    for (const el of document.querySelectorAll(INTERACTIVE)) {
      if (found.length >= MAX_MARKS) break;
      if (!roleOf(el) || !visible(el)) continue;
      // Something clickable inside a link or button (an icon, a span) is that same target.
      if (found.some((outer) => (outer.tagName === 'A' || outer.tagName === 'BUTTON') && outer.contains(el))) continue;
      found.push(el);
    }
    marks = found;
    let text = `FRONT APP: web page at ${location.origin}\nWINDOW: ${squeeze(document.title)}\nURL: ${location.href}`;
    if (found.length === 0) return `${text}\n\nNo interactive elements on this page; read_page gives its text.`;
    text += `\n\nINTERACTIVE ELEMENTS (${found.length}) \u2014 act on these by id with click/set_value:`;
    found.forEach((el, index) => {
      text += `\n  ${markLine(index + 1, el)}`;
    });
    return text;
  }

  function markAt(id) {
    const el = Number.isInteger(id) && id >= 1 ? marks[id - 1] : undefined;
    if (!el || !el.isConnected) throw new Error(`no mark ${id} (call read_screen to see the page as it is now)`);
    return el;
  }

  function verifyHint(id) {
    const el = Number.isInteger(id) && id >= 1 ? marks[id - 1] : undefined;
    if (!el || !el.isConnected) return '(element no longer present \u2014 likely the page changed; call read_screen to see the new state)';
    const parts = [];
    const value = valueOf(el);
    if (value) parts.push(`value="${cut(value, VALUE_LENGTH)}"`);
    const selected = selectedOf(el);
    if (selected !== undefined) parts.push(selected ? '\u2713selected' : 'not-selected');
    if (document.activeElement === el) parts.push('focused');
    if (parts.length === 0) return `element [${id}] state unchanged; call read_screen to see surrounding changes`;
    return `element [${id}] now: ${parts.join(' ')}`;
  }

  function click(id) {
    const el = markAt(id);
    if (disabledOf(el)) throw new Error(`mark ${id} is disabled`);
    el.scrollIntoView({ block: 'center', inline: 'center' });
    el.focus({ preventScroll: true });
    el.click();
    return `clicked mark ${id}`;
  }

  // Sets the value the way typing does, so pages that listen for input
  // events (and frameworks that track the native setter) see it.
  function assignValue(el, value) {
    const prototype = el.tagName === 'TEXTAREA' ? HTMLTextAreaElement.prototype : HTMLInputElement.prototype;
    Object.getOwnPropertyDescriptor(prototype, 'value').set.call(el, value);
    el.dispatchEvent(new Event('input', { bubbles: true }));
    el.dispatchEvent(new Event('change', { bubbles: true }));
  }

  function setValue(id, text) {
    const el = markAt(id);
    if (disabledOf(el) || el.readOnly) throw new Error(`mark ${id} cannot be changed (disabled or read-only)`);
    el.scrollIntoView({ block: 'center' });
    el.focus({ preventScroll: true });
    if (el.tagName === 'INPUT' && (el.type === 'checkbox' || el.type === 'radio')) {
      const wanted = /^(true|on|yes|1|checked|selected)$/i.test(text.trim());
      if (el.checked !== wanted) el.click();
    } else if (el.tagName === 'SELECT') {
      const wanted = squeeze(text).toLowerCase();
      const option = Array.from(el.options).find((o) => squeeze(o.text).toLowerCase() === wanted || o.value === text);
      if (!option) throw new Error(`mark ${id} has no option "${text}"; its options: ${Array.from(el.options, (o) => squeeze(o.text)).join(', ')}`);
      el.value = option.value;
      el.dispatchEvent(new Event('input', { bubbles: true }));
      el.dispatchEvent(new Event('change', { bubbles: true }));
    } else if (el.tagName === 'INPUT' || el.tagName === 'TEXTAREA') {
      assignValue(el, text);
    } else if (el.isContentEditable) {
      el.textContent = text;
      el.dispatchEvent(new InputEvent('input', { bubbles: true, inputType: 'insertText', data: text }));
    } else {
      throw new Error(`mark ${id} is a ${roleOf(el) || 'element'}, not a field`);
    }
    return `set mark ${id} to '${text}'`;
  }

  const KEY_NAMES = {
    enter: 'Enter', tab: 'Tab', escape: 'Escape', esc: 'Escape', space: ' ', backspace: 'Backspace',
    delete: 'Delete', up: 'ArrowUp', down: 'ArrowDown', left: 'ArrowLeft', right: 'ArrowRight',
    home: 'Home', end: 'End', pageup: 'PageUp', pagedown: 'PageDown',
  };
  const KEY_ALIASES = {
    super: 'cmd', meta: 'cmd', command: 'cmd', option: 'alt', control: 'ctrl', return: 'enter',
    page_down: 'pagedown', page_up: 'pageup',
  };

  function typeInto(el, text) {
    if (el.isContentEditable) {
      document.execCommand('insertText', false, text);
      return;
    }
    if (SELECTABLE_INPUTS.has(el.type) || el.tagName === 'TEXTAREA') {
      const value = el.value;
      assignValue(el, value.slice(0, el.selectionStart) + text + value.slice(el.selectionEnd));
    } else {
      assignValue(el, el.value + text);
    }
  }

  const focusedEntry = () => {
    const el = document.activeElement;
    return el && isTextEntry(el) && !el.readOnly && !disabledOf(el) ? el : null;
  };

  function moveFocus(backwards) {
    snapshot();
    const stops = marks.filter((el) => !disabledOf(el));
    if (stops.length === 0) return;
    const at = stops.indexOf(document.activeElement);
    const next = backwards ? (at <= 0 ? stops.length - 1 : at - 1) : (at + 1) % stops.length;
    stops[next].focus();
  }

  // Synthetic key events do not trigger the browser's own handling, so the
  // common effects (submit, focus move, typing) are carried out here when the
  // page does not cancel the key.
  function pressKey(keys) {
    const pieces = String(keys).split('+').filter(Boolean).map((p) => p.toLowerCase()).map((p) => KEY_ALIASES[p] || p);
    const main = pieces.filter((p) => !['cmd', 'ctrl', 'alt', 'shift'].includes(p));
    if (main.length !== 1) throw new Error(`cannot press "${keys}": name one key, with optional ctrl, alt, shift or cmd`);
    const key = KEY_NAMES[main[0]] || (Array.from(main[0]).length === 1 ? main[0] : null);
    if (!key) throw new Error(`unknown key "${main[0]}"`);
    const modifiers = {
      ctrlKey: pieces.includes('ctrl'), altKey: pieces.includes('alt'),
      shiftKey: pieces.includes('shift'), metaKey: pieces.includes('cmd'),
    };
    const target = document.activeElement || document.body;
    const init = { key, bubbles: true, cancelable: true, ...modifiers };
    const proceed = target.dispatchEvent(new KeyboardEvent('keydown', init));
    const printable = key.length === 1 && !modifiers.ctrlKey && !modifiers.altKey && !modifiers.metaKey;
    if (proceed && (printable || key === 'Enter')) target.dispatchEvent(new KeyboardEvent('keypress', init));
    let effect = '';
    if (proceed) {
      const entry = focusedEntry();
      if (key === 'Enter' && target.form && target.tagName === 'INPUT') {
        target.form.requestSubmit();
        effect = ' (submitted the form)';
      } else if ((key === 'Enter' || key === ' ') && target.matches?.('a[href], button, summary, [role=button], [role=link]')) {
        target.click();
        effect = ` (activated the focused ${roleOf(target)})`;
      } else if (key === 'Tab') {
        moveFocus(modifiers.shiftKey);
      } else if (printable && entry) {
        typeInto(entry, modifiers.shiftKey ? key.toUpperCase() : key);
      } else if (key === 'Backspace' && entry && !entry.isContentEditable && entry.value) {
        assignValue(entry, entry.value.slice(0, -1));
      }
    }
    target.dispatchEvent(new KeyboardEvent('keyup', init));
    return `pressed ${pieces.join('+')}${effect}`;
  }

  function typeText(text) {
    const entry = focusedEntry();
    if (!entry) throw new Error('no text field has focus; use set_value with the field\'s id');
    typeInto(entry, text);
    return `typed '${text}'`;
  }

  function scroll(direction, amount) {
    const lines = Math.max(1, amount) * 3;
    const px = lines * SCROLL_LINE_PX;
    const dx = direction === 'right' ? px : direction === 'left' ? -px : 0;
    const dy = direction === 'up' ? -px : dx === 0 ? px : 0;
    const before = [scrollX, scrollY];
    window.scrollBy(dx, dy);
    const moved = before[0] !== scrollX || before[1] !== scrollY;
    return `scrolled ${dx === 0 ? (dy < 0 ? 'up' : 'down') : direction} ${lines} lines${moved ? '' : ' (the page did not move: already at its edge)'}`;
  }

  function readPage() {
    const text = squeeze(document.body ? document.body.innerText : '');
    return `${snapshot()}\n\nPAGE TEXT:\n${cut(text, PAGE_TEXT_LENGTH)}`;
  }

  const answer = (work) => {
    try {
      return { ok: true, text: work() };
    } catch (error) {
      return { ok: false, error: String(error && error.message ? error.message : error) };
    }
  };

  globalThis.tarnwickPage = {
    snapshot: () => answer(snapshot),
    readPage: () => answer(readPage),
    click: (id) => answer(() => click(id)),
    setValue: (id, text) => answer(() => setValue(id, text)),
    verifyHint: (id) => answer(() => verifyHint(id)),
    pressKey: (keys) => answer(() => pressKey(keys)),
    typeText: (text) => answer(() => typeText(text)),
    scroll: (direction, amount) => answer(() => scroll(direction, amount)),
  };
})();
