#pragma once

// The browser process behind the update tab (tornevo-browser).
//
//   tornevo-browser [--parent WINDOW] [--size WIDTHxHEIGHT] URL
//
// Shows URL in a browser view of the given size, inside the X11 window WINDOW when one is
// given. Reads commands from standard input, one per line ("navigate URL", "reload",
// "size WIDTH HEIGHT") and ends at the end of its input or on SIGTERM, SIGINT or SIGHUP.
// Writes "url URL" when the page changes its address and "loaded 1 URL" / "loaded 0 URL"
// when a page has loaded or failed to. Addresses are written percent-encoded.

int RunBrowser(int argc, char* argv[]);
