#include "platform/picture.h"

#include <windows.h>
#include <wincodec.h>

#include <algorithm>

#include "platform/handles.h"

namespace ek::platform {

namespace {

// A 32-bit top-down layout of w x h pixels.
BITMAPINFO Info32(int w, int h) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  return bi;
}

}  // namespace

void* CreateBitmap32(int width, int height, void** bits) {
  BITMAPINFO bi = Info32(width, height);
  return ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, bits, nullptr, 0);
}

struct Image::Data {
  int width = 0;
  int height = 0;
  bool hasAlpha = false;
  std::vector<uint32_t> pixels;
  HBITMAP bitmap = nullptr;  // premultiplied copy for AlphaBlend, made on first draw
  bool keyed = false;        // the bitmap has the bottom-left colour cut out
  ~Data() {
    if (bitmap) ::DeleteObject(bitmap);
  }
};

Image Image::FromPixels(int width, int height, std::vector<uint32_t> pixels, bool hasAlpha) {
  Image img;
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
    return img;
  img.data_ = std::make_shared<Data>();
  img.data_->width = width;
  img.data_->height = height;
  img.data_->hasAlpha = hasAlpha;
  img.data_->pixels = std::move(pixels);
  if (!hasAlpha)
    for (auto& p : img.data_->pixels) p |= 0xFF000000u;
  return img;
}

int Image::width() const { return data_ ? data_->width : 0; }
int Image::height() const { return data_ ? data_->height : 0; }
bool Image::hasAlpha() const { return data_ && data_->hasAlpha; }
const std::vector<uint32_t>& Image::pixels() const {
  static const std::vector<uint32_t> none;
  return data_ ? data_->pixels : none;
}

namespace {

HBITMAP MakePremultiplied(const Image& img, const std::vector<uint32_t>& src, bool keyTransparent) {
  void* bits = nullptr;
  HBITMAP bmp = static_cast<HBITMAP>(CreateBitmap32(img.width(), img.height(), &bits));
  if (!bmp) return nullptr;
  auto* out = static_cast<uint32_t*>(bits);
  const uint32_t key = src[static_cast<size_t>(img.height() - 1) * static_cast<size_t>(img.width())] & 0x00FFFFFFu;
  for (size_t i = 0; i < src.size(); ++i) {
    uint32_t p = src[i];
    uint32_t a = p >> 24;
    if (keyTransparent && (p & 0x00FFFFFFu) == key) a = 0;
    const uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
    out[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
  return bmp;
}

}  // namespace

void* Image::CreatePremultipliedBitmap() const {
  return data_ ? MakePremultiplied(*this, data_->pixels, false) : nullptr;
}

void Image::Draw(void* dcHandle, int x, int y, int w, int h, bool keyTransparent) const {
  if (!data_ || w <= 0 || h <= 0) return;
  HDC dc = static_cast<HDC>(dcHandle);
  const bool key = keyTransparent && !data_->hasAlpha;
  if (!data_->bitmap || data_->keyed != key) {
    if (data_->bitmap) ::DeleteObject(data_->bitmap);
    data_->bitmap = MakePremultiplied(*this, data_->pixels, key);
    data_->keyed = key;
    if (!data_->bitmap) return;
  }
  HDC mem = ::CreateCompatibleDC(dc);
  HGDIOBJ old = ::SelectObject(mem, data_->bitmap);
  BLENDFUNCTION bf{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ::SetStretchBltMode(dc, HALFTONE);
  // gdi32's own entry: msimg32.dll, which only forwards to it, is no known
  // DLL and would be looked for beside the setup file first.
  ::GdiAlphaBlend(dc, x, y, w, h, mem, 0, 0, data_->width, data_->height, bf);
  ::SelectObject(mem, old);
  ::DeleteDC(mem);
}

namespace {

// The pixels of a 32-bit top-down copy of a bitmap.
std::vector<uint32_t> ReadPixels(HBITMAP bmp, int w, int h) {
  std::vector<uint32_t> px(static_cast<size_t>(w) * static_cast<size_t>(h));
  BITMAPINFO bi = Info32(w, h);
  HDC dc = ::GetDC(nullptr);
  const int lines = ::GetDIBits(dc, bmp, 0, static_cast<UINT>(h), px.data(), &bi, DIB_RGB_COLORS);
  ::ReleaseDC(nullptr, dc);
  if (lines != h) px.clear();
  return px;
}

}  // namespace

Image LoadIconImage(const std::wstring& path, int size) {
  HICON icon = nullptr;
  UINT id = 0;
  if (::PrivateExtractIconsW(path.c_str(), 0, size, size, &icon, &id, 1, LR_LOADFROMFILE) != 1 || !icon) return {};
  // Drawn onto a transparent 32-bit surface: the icon's own alpha, or its mask.
  void* bits = nullptr;
  HBITMAP surface = static_cast<HBITMAP>(CreateBitmap32(size, size, &bits));
  Image result;
  if (surface) {
    HDC mem = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(mem, surface);
    std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(size) * static_cast<size_t>(size), 0u);
    ::DrawIconEx(mem, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    ::GdiFlush();
    std::vector<uint32_t> px(static_cast<uint32_t*>(bits), static_cast<uint32_t*>(bits) + size * size);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(surface);
    // Icons without an alpha channel leave alpha 0 where they drew: the mask
    // decides, read separately.
    bool anyAlpha = false;
    for (uint32_t p : px) anyAlpha = anyAlpha || (p >> 24) != 0;
    if (!anyAlpha) {
      ICONINFO info{};
      if (::GetIconInfo(icon, &info)) {
        std::vector<uint32_t> mask = info.hbmMask ? ReadPixels(info.hbmMask, size, size) : std::vector<uint32_t>();
        for (size_t i = 0; i < px.size(); ++i) {
          const bool clear = !mask.empty() && (mask[i] & 0x00FFFFFFu) != 0;
          px[i] = clear ? 0u : (px[i] | 0xFF000000u);
        }
        if (info.hbmMask) ::DeleteObject(info.hbmMask);
        if (info.hbmColor) ::DeleteObject(info.hbmColor);
      }
    } else {
      // DrawIconEx leaves premultiplied pixels; keep straight alpha.
      for (auto& p : px) {
        const uint32_t a = p >> 24;
        if (a == 0 || a == 255) continue;
        auto un = [a](uint32_t c) { return std::min<uint32_t>(255, c * 255 / a); };
        p = (a << 24) | (un((p >> 16) & 0xFF) << 16) | (un((p >> 8) & 0xFF) << 8) | un(p & 0xFF);
      }
    }
    result = Image::FromPixels(size, size, std::move(px), true);
  }
  ::DestroyIcon(icon);
  return result;
}

Image LoadPngImage(const std::wstring& path) {
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                factory.put_void())))
    return {};
  // Only a PNG: a file of another kind under that name is no logo.
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateStream(stream.put())) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_READ)) ||
      FAILED(factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, decoder.put())) ||
      FAILED(decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand)))
    return {};
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, frame.put()))) return {};
  ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(converter.put())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom)))
    return {};
  UINT w = 0, h = 0;
  if (FAILED(converter->GetSize(&w, &h)) || w == 0 || h == 0 || w > 16384 || h > 16384) return {};
  std::vector<uint32_t> px(static_cast<size_t>(w) * h);
  if (FAILED(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(px.size() * 4),
                                   reinterpret_cast<BYTE*>(px.data()))))
    return {};
  return Image::FromPixels(static_cast<int>(w), static_cast<int>(h), std::move(px), true);
}

Image LoadBmpImage(const std::wstring& path) {
  HANDLE h = ::LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION);
  if (!h) return {};
  HBITMAP bmp = static_cast<HBITMAP>(h);
  BITMAP info{};
  Image result;
  if (::GetObjectW(bmp, sizeof info, &info) && info.bmWidth > 0 && info.bmHeight != 0) {
    const int w = info.bmWidth, ht = info.bmHeight < 0 ? -info.bmHeight : info.bmHeight;
    std::vector<uint32_t> px = ReadPixels(bmp, w, ht);
    if (!px.empty()) result = Image::FromPixels(w, ht, std::move(px), false);
  }
  ::DeleteObject(bmp);
  return result;
}

PictureFit FitPicture(int pw, int ph, int bw, int bh, bool stretch, bool proportional, bool center) {
  PictureFit f{0, 0, pw, ph};
  if (pw <= 0 || ph <= 0) return {};
  if (stretch) {
    if (proportional) {
      // As large as fits: the box's width decides unless the height is short.
      if (static_cast<int64_t>(bw) * ph <= static_cast<int64_t>(bh) * pw) {
        f.w = bw;
        f.h = static_cast<int>(static_cast<int64_t>(ph) * bw / pw);
      } else {
        f.h = bh;
        f.w = static_cast<int>(static_cast<int64_t>(pw) * bh / ph);
      }
    } else {
      f.w = bw;
      f.h = bh;
    }
  }
  if (center) {
    f.x = (bw - f.w) / 2;
    f.y = (bh - f.h) / 2;
  }
  return f;
}

}  // namespace ek::platform
