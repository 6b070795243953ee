// Sound files for the native program, through libsndfile: WAV, FLAC, Ogg Vorbis and the other
// formats it reads, decoded whole into the clip the audio blocks are made from.
#pragma once
#include "media/audio.h"

#include <string>

// Decodes the file at path into out (the first two channels; mono fills both) and its title
// into title: "Artist - Title" from the file's tags, the title alone, or the file name without
// its folder and extension. False with a one-line reason when the file cannot be opened, is
// not sound, holds no samples or ends before the samples its header promises.
bool loadSoundFile(const std::string& path, AudioClip& out, std::string& title, std::string& error);
