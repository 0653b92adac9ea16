#pragma once
// Renders the linearity editor's picture with GDI: the shapes are drawn into
// an off-screen bitmap first and copied to the window in one step, so the
// 33 ms redraws never show a half-drawn picture.
#include <windows.h>

#include "drive/linearity_graph.h"

// Paints graph onto dc (a window's client area), over the area of its
// background shape (the top of the window, down to above the controls).
void PaintLinearityGraph(HDC dc, const LinearityGraph& graph);
