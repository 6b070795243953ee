// Song text: the player's title taken apart for the song-text stamp and the 3-D intro.
#pragma once
#include <cstddef>

constexpr int kSongTextSize = 128;  // the song-text part, at most 127 characters
constexpr int kMaxTitlePieces = 20; // the first piece and at most 19 after it

// Cuts title in place at every '-' and '.'; fills pieces (at most kMaxTitlePieces) and returns
// their count.
int splitTitle(char* title, char* pieces[kMaxTitlePieces]);

// The song-text part of a title into part (kSongTextSize bytes): the only piece, or one of the
// pieces between the first and the last chosen at random.
void pickSongText(char* title, char* part);

// The intro text of a title into text (size bytes): the first piece when there is at most one
// separator, otherwise a space before each of the pieces between the first and the last.
void buildIntroText(char* title, char* text, size_t size);
