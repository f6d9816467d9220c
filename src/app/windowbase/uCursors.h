// The program's own cursors, shared by every window that needs them (the map windows above all).
#pragma once

#include <QCursor>

// Index 1 hand over, 2 hand grabbing, 3 set position; any other index the arrow.
QCursor AppCursor(int index);
