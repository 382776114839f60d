#pragma once
// Colours shared by the pictures, so that they sit together on the page's grey face.

#include <cstdint>

namespace palette {

// Set by the style sheet: the window's face and its side borders.
inline constexpr std::uint32_t kFace = 0xeeeeee;
inline constexpr std::uint32_t kFrameBorder = 0xb3b3b3;
inline constexpr std::uint32_t kFaceHighlight = 0xf9f9f9;

// The product's own blue (the page's links are #236fd0) and the companion green.
inline constexpr std::uint32_t kBrandLight = 0x52a8ff;
inline constexpr std::uint32_t kBrand = 0x2b7de9;
inline constexpr std::uint32_t kBrandDark = 0x1a5bc4;
inline constexpr std::uint32_t kCompanion = 0x32c27c;

inline constexpr std::uint32_t kGlyph = 0x6b6b6b;
inline constexpr std::uint32_t kCloseHover = 0xe5483f;
inline constexpr std::uint32_t kClosePressed = 0xc2342c;

}  // namespace palette
