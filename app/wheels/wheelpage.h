#pragma once
// The fixed texts of page 3, one entry per line of their memos.

#include <QStringList>

QStringList wheelIntroLines();        // Memo1, above the wheel family tabs
QStringList abbreviatedWheelLines();  // Memo2, on the abbreviated tab
QStringList keyWheelLines();          // Memo3, on the key tab
