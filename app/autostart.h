// The autostart value: "Lumivex" under the per-user Run key. It lives only in the registry; the
// option file knows nothing of it.
#pragma once

namespace lumivex::app {

// Writes the value with this program's folder ("<folder>Lumivex.exe /m"). Nothing is written
// when the key does not open or the program's path does not fit its buffer.
void WriteAutostartValue();
// Deletes the value; errors are ignored.
void DeleteAutostartValue();
// True when the value exists with a non-empty text, whoever wrote it.
bool HasAutostartValue();

} // namespace lumivex::app
