// The demo's eight sample texts, in drawing order. Shared with the tests,
// which check the picture they make.
#ifndef GLYPHAR_DEMO_SAMPLES_H
#define GLYPHAR_DEMO_SAMPLES_H

#include "Glyphar.h"

struct SampleText {
    const char *text;
    _rect box;
    float size;
    _color fg;
    _color bg;
};

inline constexpr _color kSampleWhite = {255, 255, 255};
inline constexpr _color kSampleBlack = {0, 0, 0};
inline constexpr _color kSampleTransparent = {-1, -1, -1};

// Every box spans the screen's size, wherever it starts.
inline constexpr SampleText kSamples[] = {
    {"0123456789 +-*/:;,.", {5, 5, 800, 600}, 4.0f, kSampleWhite, {255, 0, 0}},
    {"Fond transparent", {300, 25, 800, 600}, 4.0f, {0, 255, 0}, kSampleTransparent},
    {"Double ligne\nSuite de la ligne", {5, 45, 800, 600}, 4.0f, {0, 0, 255}, kSampleTransparent},
    {"Taille 3 : 0123456789", {5, 125, 800, 600}, 3.0f, kSampleBlack, kSampleWhite},
    {"Taille 2.5 : 0123456789", {5, 155, 800, 600}, 2.5f, kSampleBlack, kSampleWhite},
    {"Taille 2 : 0123456789", {5, 180, 800, 600}, 2.0f, kSampleBlack, kSampleWhite},
    {"Taille 1.5 : 0123456789", {5, 200, 800, 600}, 1.5f, kSampleBlack, kSampleWhite},
    {"Taille 1 : 0123456789", {5, 215, 800, 600}, 1.0f, kSampleBlack, kSampleWhite},
};

// Draws the sample texts; the screen must be locked where SDL_MUSTLOCK says so.
inline void DrawSamples(SDL_Surface *screen)
{
    for (const SampleText &s : kSamples)
        Glyphar(screen, s.text, s.box, s.size, s.fg, s.bg);
}

#endif  // GLYPHAR_DEMO_SAMPLES_H
