// Resource identifiers of Pikuno.dll, shared by the resource scripts and the code.
// Each later dialog, icon or string block takes its own range:
//   100-199 about dialog, 200-299 message selection dialog, 1000- controls.
#pragma once
