#pragma once
// Draws the surface on a painter already set to dialog units: the two panels, then each
// control by its family, released or pressed, its lamp lit or dark.
#include <QPainter>

#include <optional>

#include "editor/surface_layout.h"

namespace orvo {

void PaintSurfacePanels(QPainter& painter, bool showLayerButtons);

// Pot and wheel halves: the left half draws the whole knob, so paint left halves before
// right ones (the layout's ControlId order does). `faderLevel` (0x00-0x7F) places a
// fader's cap; without it the cap sits at its resting place.
void PaintSurfaceControl(QPainter& painter, const ControlLayout& layout, bool pressed, bool lit,
                         std::optional<int> faderLevel = std::nullopt);

}  // namespace orvo
