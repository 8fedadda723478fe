#pragma once

namespace quarvel {

// The embedded engine's file access with one saving: a database page that the engine writes as
// zeros (after a few bytes of header) is kept as a note instead of being written, and is written
// only when the engine reads part of it, syncs the file, unlocks it or closes it. A full page
// written over it in the meantime replaces the note, so the zero-filled pages of a new value that
// is filled in afterwards (zeroblob, then incremental blob writes) reach the file once, with their
// content. Reads return exactly what was written; before every sync and before other connections
// may look at the file, the file holds it too, so the journal's guarantees stay as they are.
//
// Installed once per process, as the engine's default file access, before the first connection
// opens; every later connection uses it. False when the engine has no default to build on.
bool installZeroPageVfs();

}  // namespace quarvel
