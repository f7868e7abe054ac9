// The answer a message box gives without being shown, for tests and unattended
// captures: ZUR_MESSAGEBOX_ANSWER set to "yes" answers a Yes/No box with Yes, any
// other value with No; every other box is answered OK. Portable.
#pragma once

namespace platform {

// True, with the answer (kIdOk, kIdYes or kIdNo), when ZUR_MESSAGEBOX_ANSWER is
// set; false when the box is to be shown.
bool presetMessageBoxAnswer(unsigned flags, int& answer);

} // namespace platform
