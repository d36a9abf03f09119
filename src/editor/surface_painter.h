#pragma once
// Draws the surface on a painter already set to dialog units: the two panels, then each
// control by its family, released or pressed, its lamp lit or dark.
#include <QPainter>

#include <optional>

#include "editor/surface_layout.h"

namespace orvo {

// `bankLayer`/`shiftLayer` (0, 1, or -1 when unknown) dim the row labels of the layer not
// in force.
void PaintSurfacePanels(QPainter& painter, int bankLayer = -1, int shiftLayer = -1);

// Pot and wheel halves: the left half draws the whole knob, so paint left halves before
// right ones (the layout's ControlId order does). `faderLevel` (0x00-0x7F) places a
// fader's cap; without it the cap sits at its resting place. A button of a layer not in
// force has its caption dim.
void PaintSurfaceControl(QPainter& painter, const ControlLayout& layout, bool pressed, bool lit,
                         std::optional<int> faderLevel = std::nullopt, bool inForce = true);

}  // namespace orvo
