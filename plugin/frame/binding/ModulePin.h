#pragma once
// Keeps the plug-in's own module loaded until the process ends.

// A host may unload its plug-ins from a message that the plug-in's own waits,
// dialogs or progress window dispatch; the code that the dispatch returns into
// must stay mapped. Called at the start of every command that pumps messages;
// the first call pins, later ones find it pinned.
void PinPluginModule();
