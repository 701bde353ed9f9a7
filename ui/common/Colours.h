// The colours the pages paint with (RGB, as the operator knows them).
#pragma once

#include <QColor>

namespace qvc::colour {

inline const QColor kTemporary(0xFF, 0x00, 0x00);  // red: a temporary route
inline const QColor kCommitted(0x00, 0xFF, 0x00);  // lime: a committed route, the running row
inline const QColor kSelected(0xFF, 0xFF, 0x00);   // yellow: the selected input, a group member
inline const QColor kAudioVideo(0x00, 0xFF, 0xFF); // aqua legend
inline const QColor kAudioOnly(0x00, 0x00, 0xFF);  // blue legend
inline const QColor kSilver(0xC0, 0xC0, 0xC0);     // a box the model lacks
inline const QColor kLampLit(0xFF, 0x00, 0x00);
inline const QColor kLampUnlit(0x00, 0x80, 0x00);

} // namespace qvc::colour
