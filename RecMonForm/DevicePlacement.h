#pragma once

// Placement in device pixels on a scaled desktop. The monitor places its
// window in logical pixels; at a scale of 1.5 or 2 a logical position maps to
// every other device pixel only, so a window whose frame should end on the
// work area's last device pixel would stop one short. Mapped here edge to
// edge instead: the logical work area's edges land exactly on the device
// work area's, and the client is placed from the outer corner inwards.

namespace recmon {

// One axis of the work area, in logical and in device pixels.
struct TAxisSpan {
  int LogicalStart = 0;
  int LogicalLength = 1;
  int DeviceStart = 0;
  int DeviceLength = 1;
};

// The device pixel a logical edge falls on; the span's two edges map exactly.
int DeviceEdge(int logical, const TAxisSpan& span);

// Where the client area starts, in device pixels, for a window whose outer
// end (frame included) is the logical edge outerEnd: the frame after the
// client (right or bottom) and the client's length are device pixels.
int DeviceClientStart(int outerEnd, const TAxisSpan& span, int frameAfter, int clientLength);

// The logical coordinate of a device pixel edge on a screen whose origin is
// at device pixel origin (Qt keeps a screen's origin unscaled and scales
// positions on it from there), rounded to the nearest.
int LogicalEdge(int device, int origin, double ratio);

}  // namespace recmon
