// Decoding a recorded file with FFmpeg, for the checks of what a recorder wrote.
#include "integration/linux_recorder/DecodedAudio.h"

#include <algorithm>
#include <cmath>

namespace veska::testing {

Decoded decode(const std::string& path) {
    Decoded out;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return out;
    avformat_find_stream_info(format, nullptr);
    out.container = format->iformat->name;
    if (format->nb_streams == 0) {
        avformat_close_input(&format);
        return out;
    }
    const AVCodecParameters* par = format->streams[0]->codecpar;
    out.codec = par->codec_id;
    out.profile = par->profile;
    out.sampleRate = par->sample_rate;
    out.channels = par->ch_layout.nb_channels;
    const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
    AVCodecContext* context = avcodec_alloc_context3(decoder);
    avcodec_parameters_to_context(context, par);
    avcodec_open2(context, decoder, nullptr);
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    long long samples = 0;
    double squares = 0;
    int inWindow = 0;
    const int window = std::max(1, out.sampleRate / 10);
    auto take = [&] {
        while (avcodec_receive_frame(context, frame) == 0) {
            const auto* data = reinterpret_cast<const float*>(frame->data[0]);  // planar float
            for (int i = 0; i < frame->nb_samples; ++i) {
                squares += static_cast<double>(data[i]) * data[i];
                if (++inWindow == window) {
                    out.windowDb.push_back(squares > 0 ? 10 * std::log10(squares / window) : -160);
                    squares = 0;
                    inWindow = 0;
                }
            }
            samples += frame->nb_samples;
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        avcodec_send_packet(context, packet);
        av_packet_unref(packet);
        take();
    }
    avcodec_send_packet(context, nullptr);
    take();
    out.seconds = out.sampleRate > 0 ? static_cast<double>(samples) / out.sampleRate : 0;
    av_frame_free(&frame);
    av_packet_free(&packet);
    avcodec_free_context(&context);
    avformat_close_input(&format);
    return out;
}

}  // namespace veska::testing
