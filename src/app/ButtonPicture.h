#pragma once
// The confirm button's picture, held in the program: a 23 x 23 pixel, 24-bit uncompressed BMP image
// (1710 bytes) of a red round button with a dark rim and a white arrow head pointing left. The corners
// and the arrow head are pure white, the colour the button draws transparent.
#include <cstdint>
#include <vector>

std::vector<uint8_t> ConfirmButtonPicture();
