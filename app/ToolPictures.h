#pragma once

#include <QImage>

#include "widgets/LumoStatebmp.h"

// The main window's tool button pictures, drawn at start-up (no picture file comes from
// anywhere else): one symbol per command, in three looks.
enum class ToolSymbol { Connect, About, Upload, Download, Refresh, Home, Back, CreateFolder, View, Rename, Delete };

enum class ToolLook { Up, Down, Hover };

QImage ToolPicture(ToolSymbol symbol, ToolLook look, QSize size);

// Gives the button its three pictures.
void DressToolButton(TLumo_statebmp& button, ToolSymbol symbol);

// The application icon (the same drawing as data/icons/harbrook.svg) at a square size.
QImage ApplicationIcon(int size);
