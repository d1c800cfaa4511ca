#include "MonitorArea.h"

#include <algorithm>

namespace recmon {

namespace {

enum class TEdge { Left, Right, Top, Bottom };
constexpr std::array<TEdge, 4> Edges = {TEdge::Left, TEdge::Right, TEdge::Top, TEdge::Bottom};

int Value(std::uint32_t v) {
  // Real reservations are far below 2^31; anything beyond is nonsense that
  // must not turn negative.
  return static_cast<int>(std::min<std::uint32_t>(v, 1U << 30));
}

// The band a reservation of width along [first, last] takes off the
// desktop at edge.
TArea Band(const TArea& desktop, TEdge edge, int width, int first, int last) {
  const int length = last - first + 1;
  switch (edge) {
    case TEdge::Left:
      return {desktop.Left, first, width, length};
    case TEdge::Right:
      return {desktop.Right() - width, first, width, length};
    case TEdge::Top:
      return {first, desktop.Top, length, width};
    case TEdge::Bottom:
      break;
  }
  return {first, desktop.Bottom() - width, length, width};
}

// The band the strut reserves at edge; empty when it reserves nothing there.
TArea StrutBand(const TStrut& strut, const TArea& desktop, TEdge edge) {
  const auto i = static_cast<std::size_t>(edge);
  return Band(desktop, edge, Value(strut[i]), Value(strut[4 + 2 * i]), Value(strut[5 + 2 * i]));
}

// The whole length of the desktop along edge.
TArea WholeEdge(const TArea& desktop, TEdge edge, int width) {
  const bool vertical = edge == TEdge::Left || edge == TEdge::Right;
  return vertical ? Band(desktop, edge, width, desktop.Top, desktop.Bottom() - 1)
                  : Band(desktop, edge, width, desktop.Left, desktop.Right() - 1);
}

// Shrinks area so that it ends where the band at edge begins.
void CutOff(TArea& area, const TArea& band, TEdge edge) {
  if (band.Width <= 0 || band.Height <= 0 || !area.Intersects(band)) {
    return;
  }
  int left = area.Left;
  int top = area.Top;
  int right = area.Right();
  int bottom = area.Bottom();
  switch (edge) {
    case TEdge::Left:
      left = std::max(left, band.Right());
      break;
    case TEdge::Right:
      right = std::min(right, band.Left);
      break;
    case TEdge::Top:
      top = std::max(top, band.Bottom());
      break;
    case TEdge::Bottom:
      bottom = std::min(bottom, band.Top);
      break;
  }
  area = {left, top, right - left, bottom - top};
}

// How far the window manager's work area stays off the desktop's edge.
int Inset(const TArea& desktop, const TArea& workArea, TEdge edge) {
  switch (edge) {
    case TEdge::Left:
      return workArea.Left - desktop.Left;
    case TEdge::Right:
      return desktop.Right() - workArea.Right();
    case TEdge::Top:
      return workArea.Top - desktop.Top;
    case TEdge::Bottom:
      break;
  }
  return desktop.Bottom() - workArea.Bottom();
}

// The widest reservation of any panel at edge.
int StrutInset(const TDesktopLayout& layout, TEdge edge) {
  int inset = 0;
  for (const TStrut& strut : layout.Struts) {
    inset = std::max(inset, Value(strut[static_cast<std::size_t>(edge)]));
  }
  return inset;
}

// The band at edge that the window manager keeps for itself beyond the
// panels' reservations; empty when there is none.
TArea OwnBand(const TDesktopLayout& layout, TEdge edge) {
  if (!layout.WorkArea) {
    return {};
  }
  const int inset = Inset(layout.Desktop, *layout.WorkArea, edge);
  if (inset <= StrutInset(layout, edge)) {
    return {};
  }
  const bool vertical = edge == TEdge::Left || edge == TEdge::Right;
  for (const TArea& monitor : layout.Monitors) {
    if (inset >= (vertical ? monitor.Width : monitor.Height)) {
      return {};
    }
  }
  return WholeEdge(layout.Desktop, edge, inset);
}

bool Within(const TArea& inner, const TArea& outer) {
  return inner.Width > 0 && inner.Height > 0 && inner.Left >= outer.Left &&
         inner.Top >= outer.Top && inner.Right() <= outer.Right() &&
         inner.Bottom() <= outer.Bottom();
}

// Whether the window manager's own band at edge lies on monitor: where the
// band holds windows (its panel), on the monitors those windows are on; with
// none seen, on every monitor along that edge.
bool OwnBandOn(const TDesktopLayout& layout, const TArea& band, const TArea& monitor) {
  bool seen = false;
  for (const TArea& window : layout.OwnWindows) {
    if (Within(window, band)) {
      if (window.Intersects(monitor)) {
        return true;
      }
      seen = true;
    }
  }
  return !seen;
}

}  // namespace

std::optional<TStrut> StrutFrom(std::span<const std::uint32_t> values, const TArea& desktop) {
  TStrut strut{};
  if (values.size() == strut.size()) {
    std::copy(values.begin(), values.end(), strut.begin());
    return strut;
  }
  if (values.size() != 4) {
    return std::nullopt;
  }
  std::copy(values.begin(), values.end(), strut.begin());
  for (const TEdge edge : Edges) {
    const auto i = static_cast<std::size_t>(edge);
    const TArea whole = WholeEdge(desktop, edge, 1);
    const bool vertical = edge == TEdge::Left || edge == TEdge::Right;
    strut[4 + 2 * i] = static_cast<std::uint32_t>(vertical ? whole.Top : whole.Left);
    strut[5 + 2 * i] = static_cast<std::uint32_t>((vertical ? whole.Bottom() : whole.Right()) - 1);
  }
  return strut;
}

bool WindowManagerReserves(const TDesktopLayout& layout) {
  return std::any_of(Edges.begin(), Edges.end(), [&](TEdge edge) {
    const TArea band = OwnBand(layout, edge);
    return band.Width > 0 && band.Height > 0;
  });
}

TArea UsableArea(const TArea& monitor, const TDesktopLayout& layout) {
  TArea area = monitor;
  for (const TEdge edge : Edges) {
    for (const TStrut& strut : layout.Struts) {
      CutOff(area, StrutBand(strut, layout.Desktop, edge), edge);
    }
    const TArea own = OwnBand(layout, edge);
    if (own.Width > 0 && own.Height > 0 && OwnBandOn(layout, own, monitor)) {
      CutOff(area, own, edge);
    }
  }
  return area.Width > 0 && area.Height > 0 ? area : monitor;
}

}  // namespace recmon
