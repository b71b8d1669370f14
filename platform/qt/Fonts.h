#pragma once

namespace harbrook {

// Makes Tahoma available to the program where the system has a face with its metrics
// (Debian's fonts-wine ships one): the windows are laid out in Tahoma's pixels, and a
// wider face standing in for it cuts columns and lines. Without one, Qt's nearest face
// stands in as before. Call once the application object exists.
void LoadTahoma();

}  // namespace harbrook
