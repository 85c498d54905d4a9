// PlayWave: PlaySoundA from the multimedia library, loaded at run time from the system folder only; and how long
// a WAV file plays.
#pragma once

// Flags as PlaySoundA takes them (SND_SYNC, SND_ASYNC...); the file is always a file name.
// False when the sound could not be played or the library could not be loaded.
bool PlayWave(const char* file, unsigned flags);

// The length of the sound in a WAV file, from its header; 0 when the file is missing or not a WAV file.
unsigned WaveLengthMs(const char* file);
