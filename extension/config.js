// Where Tarnwick listens on this computer. The app's port is fixed; tests
// and self-hosters may change it here.
export const BRIDGE_PORT = 28371;
// Longest wait between attempts to reach Tarnwick while it is not running.
export const MAX_RETRY_MS = 30000;
// tarnwick-server, which plans page tasks; the same default as the app's.
// Page contents are sent here and nowhere else.
export const SERVER_ORIGIN = 'http://127.0.0.1:8787';
