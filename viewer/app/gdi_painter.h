// Carries out the map's drawing operations with GDI on a drawing context.
#pragma once

#include <windows.h>

#include "viewer/annotations.h"

namespace ned {

// Fonts, pens and brushes are made for the step that asks for them and deleted when it
// says so; the context's own objects are selected back before anything is deleted.
void paintOperations(HDC dc, const DrawList& list);

}  // namespace ned
