#pragma once

// How each control presents itself to a screen reader and to the keyboard:
// what kind of thing it is, the name it is read by where it shows no text of
// its own, and which other control belongs with it. Like the layout table,
// this is data the form reads; it holds no toolkit types.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "DisplaySurface.h"

namespace recmon {

enum class TAccessKind : std::uint8_t {
  Text,        // read as it shows: the recording state, the captions
  Figure,      // a value read together with its caption: "Size: 4 KB"
  Button,      // an icon that works on a click, on Space or Enter, or when pressed by a reader
  Link,        // a text that opens something, worked the same ways
  Meter,       // a level meter as a whole: its name, and the level of its bar as a value
  Group,       // the detail panel
  Decoration,  // drawn only for the eye; left out of what a reader sees
};

struct TControlAccess {
  TControl Id = TControl::lblRecording;
  TAccessKind Kind = TAccessKind::Text;
  // Buttons, the link, meters and the group: what they are called. Other
  // controls are called by what they show.
  std::string_view Name;
  // Buttons: what pressing one does, beyond its name.
  std::string_view Description;
  // Figures: the label whose caption is read with the value.
  std::optional<TControl> Caption;
  // Buttons: the icon shown in the same place once this one is pressed, which
  // then takes the keyboard focus.
  std::optional<TControl> Twin;
  // Meters: the bar whose height is the level.
  std::optional<TControl> Bar;
};

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

inline constexpr std::array<TControlAccess, ControlCount> ControlAccess{{
    {.Id = TControl::lblRecording},
    {.Id = TControl::lblFile, .Kind = TAccessKind::Link, .Name = "Open the recording's folder"},
    {.Id = TControl::lblSizeCaption},
    {.Id = TControl::lblSize, .Kind = TAccessKind::Figure, .Caption = TControl::lblSizeCaption},
    {.Id = TControl::lblHealthCaption},
    {.Id = TControl::lblHealth, .Kind = TAccessKind::Figure, .Caption = TControl::lblHealthCaption},
    {.Id = TControl::imgPinOut,
     .Kind = TAccessKind::Button,
     .Name = "Pin",
     .Description = "Keeps this window open after recording stops",
     .Twin = TControl::imgPinIn},
    {.Id = TControl::imgPinIn,
     .Kind = TAccessKind::Button,
     .Name = "Unpin",
     .Description = "Lets this window close by itself once recording has stopped",
     .Twin = TControl::imgPinOut},
    {.Id = TControl::imgHideAdvanced,
     .Kind = TAccessKind::Button,
     .Name = "Hide details",
     .Description = "Hides the time, loss and buffer figures",
     .Twin = TControl::imgAdvanced},
    {.Id = TControl::imgAdvanced,
     .Kind = TAccessKind::Button,
     .Name = "Show details",
     .Description = "Shows the time, loss and buffer figures",
     .Twin = TControl::imgHideAdvanced},
    {.Id = TControl::rectMeterMeBackground,
     .Kind = TAccessKind::Meter,
     .Name = "Sound level for you",
     .Bar = TControl::rectMeterMe},
    {.Id = TControl::rectMeterThemBackground,
     .Kind = TAccessKind::Meter,
     .Name = "Sound level for other party(s)",
     .Bar = TControl::rectMeterThem},
    // The bars are read as the values of their meters.
    {.Id = TControl::rectMeterThem, .Kind = TAccessKind::Decoration},
    {.Id = TControl::rectMeterMe, .Kind = TAccessKind::Decoration},
    {.Id = TControl::pnlAdvanced, .Kind = TAccessKind::Group, .Name = "Details"},
    {.Id = TControl::lblTimeElapsedCaption},
    {.Id = TControl::lblTimeElapsed,
     .Kind = TAccessKind::Figure,
     .Caption = TControl::lblTimeElapsedCaption},
    {.Id = TControl::lblTimeRecordedCaption},
    {.Id = TControl::lblTimeRecorded,
     .Kind = TAccessKind::Figure,
     .Caption = TControl::lblTimeRecordedCaption},
    {.Id = TControl::lblSecsDroppedCaption},
    {.Id = TControl::lblSecsDropped,
     .Kind = TAccessKind::Figure,
     .Caption = TControl::lblSecsDroppedCaption},
    {.Id = TControl::lblSecondsDroppedCaption},
    {.Id = TControl::lblSecondsBehind,
     .Kind = TAccessKind::Figure,
     .Caption = TControl::lblSecondsDroppedCaption},
    {.Id = TControl::lblBufPctFullCaption},
    {.Id = TControl::lblPctBufFull,
     .Kind = TAccessKind::Figure,
     .Caption = TControl::lblBufPctFullCaption},
}};

#pragma GCC diagnostic pop

static_assert(InControlOrder(ControlAccess));

constexpr const TControlAccess& AccessOf(TControl control) {
  return ControlAccess[ControlIndex(control)];
}

// The order in which Tab visits the controls that can be worked from the
// keyboard: as the eye reads them, left to right, top to bottom. Of two twins
// only one is shown at a time; hidden controls are passed over.
inline constexpr std::array KeyboardOrder{TControl::imgAdvanced, TControl::imgHideAdvanced,
                                          TControl::imgPinOut, TControl::imgPinIn,
                                          TControl::lblFile};

// The control of that objectName, if any.
std::optional<TControl> ControlNamed(std::string_view name);

// A figure as it is read: its caption, with a colon whether or not the window
// shows one, then the value. "Health" and "Fair" read "Health: Fair".
std::string FigureName(std::string_view caption, std::string_view value);

// What a meter's hint says beyond the meter's name, without the brackets it
// is shown in: "Configured not to record this", or empty. The text is static.
std::string_view MeterNote(std::string_view hint);

}  // namespace recmon
