// Rotating letter objects: wire-frame objects read from the "objs" folder of the host
// directory, one file per character, drawn by the "Objects" wave (waveObjects, effects.h).
//
// File format (text, line by line): a line starting with "#" is a comment; every other line
// is one segment "x1,y1,z1 - x2,y2,z2" (decimal integers, each comma straight after its
// number, white space allowed before a number and around the minus sign). Other lines are
// skipped, except that a file whose first line is neither a comment nor a segment is rejected.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ObjectSegment {
    int32_t x1, y1, z1, x2, y2, z2;
};

// The current object: its segments, shifted so that the smallest x, y and z are 0, followed
// by a terminator segment of six -1 values; nullptr while no object has been loaded.
extern ObjectSegment* currentObject;

// The rotation about the vertical axis in radians; turns 4 degrees every frame drawn.
extern double objectAngle;

// Loads the object of a character as the new current object. True when it was read; on any
// failure the current object stays as it was.
//
// The file is "objs" + separator + character + ".obj". Characters that cannot be part of a
// file name on Windows use a name instead: \ backslash, / slash, : colon, * asterisk,
// ? question, " quote, < less, > greater, | bar (so "?" reads "question.obj"). When the file
// of a letter cannot be opened, the file of the same letter in the other case is tried (on
// Windows "a.obj" and "A.obj" are one file anyway); an accented Latin letter of the Windows
// code page falls back to its plain letter. The terminating NUL and other control characters
// have no object.
bool loadLetterObject(char character);

// Reads one object file (the work of loadLetterObject after the name is chosen).
bool loadLetterObjectFile(const std::string& path);

// The file names loadLetterObject tries for a character, in order; the first that opens is
// read.
std::vector<std::string> letterObjectNames(char character);

// Frees the current object (at quit).
void freeLetterObject();

// Segment count and largest coordinates of the current object (0 when there is none).
int currentObjectSegments();
