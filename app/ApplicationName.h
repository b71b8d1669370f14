#pragma once

// Names the application as the program entry does: "Harbrook" (the title of the boxes
// for errors no command caught) and its desktop entry. It sets no display name: under
// a window manager Qt appends that to every window's caption ("… — Harbrook"), and the
// captions are the program's own, exactly.
void NameApplication();
