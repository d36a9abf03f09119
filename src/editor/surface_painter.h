#pragma once
// Draws the surface on a painter already set to dialog units: the two panels, then each
// control by its family, released or pressed, its lamp lit or dark.
#include <QPainter>

#include "editor/surface_layout.h"

namespace orvo {

void PaintSurfacePanels(QPainter& painter, bool showLayerButtons);

// Pot and wheel halves: the left half draws the whole knob, so paint left halves before
// right ones (the layout's ControlId order does).
void PaintSurfaceControl(QPainter& painter, const ControlLayout& layout, bool pressed, bool lit);

}  // namespace orvo
