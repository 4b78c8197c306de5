// AAC-LC in an MPEG-4 file with FFmpeg.
#include "platform/linux/aac/AacFileWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cstdio>

#include "ports/AudioFormat.h"

namespace veska::platform {

namespace {

using ports::AudioError;
using ports::AudioErrorKind;

}  // namespace

AacFileWriter::AacFileWriter(const std::string& path, int sampleRate, int channels, std::int64_t bitRate)
    : channels_(channels), pending_(static_cast<std::size_t>(channels)) {
    // The libraries report on stderr by default; nothing is written to a log.
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* codec = avcodec_find_encoder_by_name("aac");
    if (codec == nullptr) throw AudioError(AudioErrorKind::failed);
    if (avformat_alloc_output_context2(&format_, nullptr, "ipod", path.c_str()) < 0 || format_ == nullptr) {
        throw AudioError(AudioErrorKind::failed);
    }
    codec_ = avcodec_alloc_context3(codec);
    frame_ = av_frame_alloc();
    packet_ = av_packet_alloc();
    AVStream* stream = avformat_new_stream(format_, nullptr);
    if (codec_ == nullptr || frame_ == nullptr || packet_ == nullptr || stream == nullptr) {
        release();
        throw AudioError(AudioErrorKind::failed);
    }
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->sample_rate = sampleRate;
    av_channel_layout_default(&codec_->ch_layout, channels);
    codec_->bit_rate = bitRate;
    codec_->profile = FF_PROFILE_AAC_LOW;
    codec_->time_base = AVRational{1, sampleRate};
    if ((format_->oformat->flags & AVFMT_GLOBALHEADER) != 0) codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(codec_, codec, nullptr) < 0) {
        release();
        throw AudioError(AudioErrorKind::badFormat);
    }
    frameSize_ = codec_->frame_size > 0 ? codec_->frame_size : 1024;
    smallLastFrame_ = (codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) != 0;
    stream->time_base = codec_->time_base;
    if (avcodec_parameters_from_context(stream->codecpar, codec_) < 0) {
        release();
        throw AudioError(AudioErrorKind::failed);
    }
    if (avio_open(&format_->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
        release();
        throw AudioError(AudioErrorKind::cannotWrite);
    }
    fileOpen_ = true;
    if (avformat_write_header(format_, nullptr) < 0) {
        release();
        std::remove(path.c_str());
        throw AudioError(AudioErrorKind::cannotWrite);
    }
    // The header is on disk from the start: the file exists while recording.
    avio_flush(format_->pb);
}

AacFileWriter::~AacFileWriter() {
    finish();
    release();
}

void AacFileWriter::release() {
    if (fileOpen_) {
        avio_closep(&format_->pb);
        fileOpen_ = false;
    }
    av_packet_free(&packet_);
    av_frame_free(&frame_);
    avcodec_free_context(&codec_);
    avformat_free_context(format_);
    format_ = nullptr;
}

bool AacFileWriter::write(const float* samples, std::size_t frames) {
    if (failed_ || finished_) return false;
    for (std::size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < channels_; ++c) {
            pending_[static_cast<std::size_t>(c)].push_back(samples[i * static_cast<std::size_t>(channels_) + static_cast<std::size_t>(c)]);
        }
        if (pending_[0].size() == static_cast<std::size_t>(frameSize_) && !encodeBuffered(frameSize_)) return false;
    }
    return true;
}

bool AacFileWriter::encodeBuffered(int samples) {
    av_frame_unref(frame_);
    frame_->format = AV_SAMPLE_FMT_FLTP;
    frame_->sample_rate = codec_->sample_rate;
    frame_->nb_samples = samples;
    if (av_channel_layout_copy(&frame_->ch_layout, &codec_->ch_layout) < 0 || av_frame_get_buffer(frame_, 0) < 0) {
        failed_ = true;
        return false;
    }
    for (int c = 0; c < channels_; ++c) {
        auto& source = pending_[static_cast<std::size_t>(c)];
        auto* target = reinterpret_cast<float*>(frame_->data[c]);
        const std::size_t have = std::min(source.size(), static_cast<std::size_t>(samples));
        std::copy_n(source.begin(), have, target);
        std::fill(target + have, target + samples, 0.0F);
        source.clear();
    }
    frame_->pts = nextPts_;
    nextPts_ += samples;
    if (avcodec_send_frame(codec_, frame_) < 0) {
        failed_ = true;
        return false;
    }
    return drain();
}

bool AacFileWriter::drain() {
    while (true) {
        const int got = avcodec_receive_packet(codec_, packet_);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return true;
        if (got < 0) {
            failed_ = true;
            return false;
        }
        packet_->stream_index = 0;
        av_packet_rescale_ts(packet_, codec_->time_base, format_->streams[0]->time_base);
        if (av_interleaved_write_frame(format_, packet_) < 0) {
            failed_ = true;
            return false;
        }
    }
}

bool AacFileWriter::finish() {
    if (finished_) return finishResult_;
    finished_ = true;
    bool ok = !failed_ && format_ != nullptr;
    if (ok && !pending_[0].empty()) {
        // A short last frame where the encoder takes one; otherwise padded with silence.
        const int samples = smallLastFrame_ ? static_cast<int>(pending_[0].size()) : frameSize_;
        ok = encodeBuffered(samples);
    }
    if (ok) ok = avcodec_send_frame(codec_, nullptr) >= 0 && drain();
    if (format_ != nullptr && fileOpen_) {
        if (av_write_trailer(format_) < 0) ok = false;
        if (avio_closep(&format_->pb) < 0) ok = false;
        fileOpen_ = false;
    }
    finishResult_ = ok;
    return ok;
}

AudioFileWriterFactory linkedAacWriters() {
    return [](const std::string& path, int sampleRate, int channels, std::int64_t bitRate) {
        return std::unique_ptr<AudioFileWriter>(std::make_unique<AacFileWriter>(path, sampleRate, channels, bitRate));
    };
}

}  // namespace veska::platform
