#pragma once

#include "engine/Host.h"

// The script faces of the BMP and JPEG codecs, as groups of `app` members in member order.
namespace api {

// isSupportedBmp, getPictureInfoBmp, loadBmp
extern const engine::HostFunction kBmpFunctions[3];
// isSupportedJpeg, getPictureInfoJpeg, loadJpeg
extern const engine::HostFunction kJpegFunctions[3];
// createBmpFileHeader
extern const engine::HostFunction kBmpFileHeaderFunctions[1];

}  // namespace api
