#pragma once

// Exchanging pictures between GDI+ bitmaps and the image object, and fitting sizes to boxes.

#include "image/CxImage.h"
#include "platform/gfx/GdiPlus.h"

// Fills image from the bitmap's 32-bit ARGB pixels (top row first). Returns the last status
// other than Ok, or Ok; a failed lock leaves the image empty.
GpStatus CopyBitmapInto(GpBitmap* bitmap, CxImage& image);
// A new image owned by the caller (empty when the bitmap could not be read).
CxImage* ImageFromBitmap(GpBitmap* bitmap);
// Matches only the longer side to its box side; 1.0 and the size unchanged when the picture is
// smaller than the box in both directions or equal to it.
float FitSize(LONG width, LONG height, LONG boxWidth, LONG boxHeight, SIZE* out);
// The thumbnail of the fitted size, or a 32-bit clone when no change is needed.
GpImage* MakeFittedBitmap(LONG width, LONG height, LONG boxWidth, LONG boxHeight, GpBitmap* bitmap);
GpBitmap* CloneBitmap(GpBitmap* bitmap);
// Opaque: the alpha plane does not travel through the GDI bitmap.
GpBitmap* BitmapFromImage(const CxImage& image);
