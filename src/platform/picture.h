// Pictures: icons, PNG and BMP files decoded into 32-bit pixels, and pictures
// painted by the program itself (flags). Drawn with their transparency.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ek::platform {

class Image {
 public:
  Image() = default;
  // Pixels are 0xAARRGGBB, row by row from the top, straight alpha.
  [[nodiscard]] static Image FromPixels(int width, int height, std::vector<uint32_t> pixels, bool hasAlpha);

  [[nodiscard]] bool valid() const { return data_ != nullptr; }
  [[nodiscard]] int width() const;
  [[nodiscard]] int height() const;
  [[nodiscard]] bool hasAlpha() const;
  [[nodiscard]] const std::vector<uint32_t>& pixels() const;

  // A new premultiplied 32-bit bitmap of the picture (an HBITMAP the caller
  // deletes), as menus draw pictures with their transparency.
  [[nodiscard]] void* CreatePremultipliedBitmap() const;

  // Draws into the destination rectangle (device pixels), scaled. Pictures
  // without alpha may make their bottom-left colour see-through.
  void Draw(void* dc, int x, int y, int w, int h, bool keyTransparent) const;

 private:
  struct Data;
  std::shared_ptr<Data> data_;
};

// A new 32-bit top-down bitmap (an HBITMAP the caller deletes); its pixels
// in *bits. Nothing when it cannot be made.
[[nodiscard]] void* CreateBitmap32(int width, int height, void** bits);

// The icon of this size from an icon file (the first icon); invalid on failure.
[[nodiscard]] Image LoadIconImage(const std::wstring& path, int size);
// PNG through the system's imaging codecs; needs COM on this thread.
[[nodiscard]] Image LoadPngImage(const std::wstring& path);
[[nodiscard]] Image LoadBmpImage(const std::wstring& path);

// Where a picture of this size goes in a box (pure rule): its own size at the
// top left, or centred; stretched to the box, or as large as fits with its
// proportions kept (then centred when asked).
struct PictureFit {
  int x = 0, y = 0, w = 0, h = 0;
};
[[nodiscard]] PictureFit FitPicture(int pictureW, int pictureH, int boxW, int boxH, bool stretch, bool proportional,
                                    bool center);

}  // namespace ek::platform
