// What FFmpeg's decoder finds in a recorded audio file: the container, the codec and its
// parameters, the length and the loudness over time.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <string>
#include <vector>

namespace veska::testing {

struct Decoded {
    AVCodecID codec = AV_CODEC_ID_NONE;
    int profile = FF_PROFILE_UNKNOWN;
    int sampleRate = 0;
    int channels = 0;
    /// libavformat's name of the container ("mov,mp4,m4a,3gp,3g2,mj2" for MPEG-4); empty when
    /// the file could not be opened.
    std::string container;
    /// Decoded samples over the rate.
    double seconds = 0;
    /// Average power of channel 0 per 100 ms, in dB.
    std::vector<double> windowDb;
};

/// Opens and decodes the first stream of the file at `path` (its decoder must give planar
/// float samples, as AAC's does).
Decoded decode(const std::string& path);

}  // namespace veska::testing
