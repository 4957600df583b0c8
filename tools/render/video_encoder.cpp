// Encoding and muxing the video through libavcodec and libavformat, written through an OutputFile.
#include "tools/render/video_encoder.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "sound/pcm.h"

namespace tools::render {
namespace {

// The show's frame is 30 ms: a time base of 3/100 s makes frame n's time the whole number n.
constexpr AVRational FRAME_TIME = {3, 100};
constexpr AVRational FRAME_RATE = {100, 3};
constexpr int IO_BUFFER_BYTES = 1 << 16;

std::string av_message(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

// libavformat's byte sink: every byte goes through the OutputFile, which keeps the first failure.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
int write_bytes(void* opaque, const uint8_t* bytes, int size) {
#else
int write_bytes(void* opaque, uint8_t* bytes, int size) {
#endif
  auto* file = static_cast<OutputFile*>(opaque);
  if (!file->write(bytes, size_t(size)).empty()) return AVERROR(EIO);
  // MP4's last pass reads the file back through a descriptor of its own: what is written must
  // be in the file, not in the stream's buffer. The buffer here is already 64 KiB.
  return std::fflush(file->stream()) == 0 ? size : AVERROR(errno);
}

// MP4 goes back to write the sizes of what it wrote; a regular file allows that.
int64_t seek_bytes(void* opaque, int64_t offset, int whence) {
  FILE* stream = static_cast<OutputFile*>(opaque)->stream();
  if (whence == AVSEEK_SIZE) return -1;  // unknown: the muxers do without
  if (std::fflush(stream) != 0 || fseeko(stream, offset, whence & ~AVSEEK_FORCE) != 0)
    return AVERROR(errno);
  return ftello(stream);
}

bool seekable(FILE* stream) {
  struct stat status {};
  return fstat(fileno(stream), &status) == 0 && S_ISREG(status.st_mode);
}

}  // namespace

std::optional<VideoFormat> video_format_of(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (extension == "webm") return VideoFormat::WEBM;
  if (extension == "mp4") return VideoFormat::MP4;
  return std::nullopt;
}

VideoCodecs codecs_of(VideoFormat format) {
  // CRF 23 is x264's own default, and 32 near what VP9's guides give for 720p; AA-lib's
  // characters on black stay crisp at either (a decoded frame is above 50 dB against its PNG).
  if (format == VideoFormat::WEBM) return {"webm", "libvpx-vp9", "libopus", 32};
  return {"mp4", "libx264", "aac", 23};
}

struct VideoEncoder::State {
  ~State() {
    if (io != nullptr) av_freep(&io->buffer);
    avio_context_free(&io);
    avformat_free_context(format);
    avcodec_free_context(&video);
    avcodec_free_context(&audio);
    sws_freeContext(scale);
    swr_free(&resample);
    if (fifo != nullptr) av_audio_fifo_free(fifo);
    av_frame_free(&picture);
    av_frame_free(&sound);
    av_packet_free(&packet);
  }

  // The file's error when a write failed (it names the file), else libav's words for `code`.
  std::string error(const std::string& doing, int code) const {
    std::string file_error = file->fail("");  // an empty failure only reads the first one
    if (!file_error.empty()) return file_error;
    return "cannot " + doing + " " + file->name() + ": " + av_message(code);
  }

  std::string open_encoder(const char* name, AVCodecContext*& context, AVStream*& stream,
                           const VideoSettings& settings);
  std::string send(AVCodecContext* context, AVStream* stream, const AVFrame* frame);
  std::string encode_sound(bool last);

  OutputFile* file = nullptr;
  VideoSettings settings;
  AVFormatContext* format = nullptr;
  AVIOContext* io = nullptr;
  AVCodecContext* video = nullptr;
  AVCodecContext* audio = nullptr;
  AVStream* video_stream = nullptr;
  AVStream* audio_stream = nullptr;
  SwsContext* scale = nullptr;
  int scale_channels = 0;
  SwrContext* resample = nullptr;
  AVAudioFifo* fifo = nullptr;  // resampled sound waiting for a whole encoder frame
  AVFrame* picture = nullptr;
  AVFrame* sound = nullptr;
  AVPacket* packet = nullptr;
  int64_t frames = 0;
  int64_t sound_samples = 0;  // sent to the encoder, at its rate: the next frame's time
  bool header_written = false;
};

std::string VideoEncoder::State::open_encoder(const char* name, AVCodecContext*& context,
                                              AVStream*& stream, const VideoSettings& settings) {
  const AVCodec* codec = avcodec_find_encoder_by_name(name);
  if (codec == nullptr)
    return "cannot write " + file->name() + ": this FFmpeg has no encoder " + name;
  context = avcodec_alloc_context3(codec);
  stream = avformat_new_stream(format, nullptr);
  if (context == nullptr || stream == nullptr) return error("allocate an encoder for", 0);
  AVDictionary* options = nullptr;
  if (codec->type == AVMEDIA_TYPE_VIDEO) {
    context->width = settings.width;
    context->height = settings.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;  // the one every player opens
    context->time_base = FRAME_TIME;
    context->framerate = FRAME_RATE;
    context->gop_size = 100;  // a key frame every 3 s, where a player can start
    // Two threads: the renderer and the encoder share the machine with whatever else runs.
    context->thread_count = 2;
    av_dict_set_int(&options, "crf", settings.crf, 0);
    if (codec->id == AV_CODEC_ID_VP9) {
      av_dict_set(&options, "b", "0", 0);  // constant quality, no bitrate target
      // The good-quality deadline at its fastest speed. The realtime one at speed 8 took a
      // quarter of the time on the show's busiest 300 frames, but wrote a fifth more bytes.
      av_dict_set(&options, "deadline", "good", 0);
      av_dict_set(&options, "cpu-used", "5", 0);
      av_dict_set(&options, "row-mt", "1", 0);
    } else {
      av_dict_set(&options, "preset", "fast", 0);
    }
    stream->avg_frame_rate = FRAME_RATE;
    stream->r_frame_rate = FRAME_RATE;
  } else {
    // The show's rate when the encoder takes it (AAC does), else its nearest supported (Opus
    // takes 48,000 Hz only).
    int rate = sound::SAMPLE_RATE;
    if (codec->supported_samplerates != nullptr) {
      rate = codec->supported_samplerates[0];
      for (const int* r = codec->supported_samplerates; *r != 0; ++r)
        if (*r == sound::SAMPLE_RATE || (rate != sound::SAMPLE_RATE && *r > rate)) rate = *r;
    }
    context->sample_rate = rate;
    context->sample_fmt =
        codec->sample_fmts != nullptr ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
    av_channel_layout_default(&context->ch_layout, sound::CHANNELS);
    context->time_base = {1, rate};
    context->bit_rate = 128000;
  }
  if (format->oformat->flags & AVFMT_GLOBALHEADER) context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  int code = avcodec_open2(context, codec, &options);
  av_dict_free(&options);
  if (code < 0) return error(std::string("open the encoder ") + name + " for", code);
  code = avcodec_parameters_from_context(stream->codecpar, context);
  if (code < 0) return error("set up", code);
  stream->time_base = context->time_base;
  return {};
}

// Sends a frame (null: the end) and writes every packet the encoder gives back.
std::string VideoEncoder::State::send(AVCodecContext* context, AVStream* stream,
                                      const AVFrame* frame) {
  int code = avcodec_send_frame(context, frame);
  if (code < 0) return error("encode", code);
  while ((code = avcodec_receive_packet(context, packet)) >= 0) {
    av_packet_rescale_ts(packet, context->time_base, stream->time_base);
    packet->stream_index = stream->index;
    code = av_interleaved_write_frame(format, packet);
    if (code < 0) return error("write", code);
  }
  return code == AVERROR(EAGAIN) || code == AVERROR_EOF ? std::string() : error("encode", code);
}

// Encodes whole encoder frames from the FIFO; `last` sends the remainder too, padded with
// silence when the encoder takes only whole frames.
std::string VideoEncoder::State::encode_sound(bool last) {
  const bool variable = audio->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
  const int frame_size = audio->frame_size > 0 && !variable ? audio->frame_size : 1024;
  const bool small_last = audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
  while (av_audio_fifo_size(fifo) >= frame_size || (last && av_audio_fifo_size(fifo) > 0)) {
    const int available = std::min(frame_size, av_audio_fifo_size(fifo));
    av_frame_unref(sound);
    sound->format = audio->sample_fmt;
    sound->sample_rate = audio->sample_rate;
    av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
    sound->nb_samples = small_last || variable ? available : frame_size;
    int code = av_frame_get_buffer(sound, 0);
    if (code < 0) return error("encode", code);
    av_samples_set_silence(sound->data, 0, sound->nb_samples, sound::CHANNELS, audio->sample_fmt);
    if (av_audio_fifo_read(fifo, reinterpret_cast<void**>(sound->data), available) != available)
      return error("encode", AVERROR(ENOMEM));
    sound->pts = sound_samples;
    sound_samples += sound->nb_samples;
    std::string failure = send(audio, audio_stream, sound);
    if (!failure.empty()) return failure;
  }
  return {};
}

VideoEncoder::VideoEncoder() : state_(std::make_unique<State>()) {}
VideoEncoder::~VideoEncoder() = default;

int64_t VideoEncoder::frames() const {
  return state_->frames;
}

std::string VideoEncoder::open(OutputFile& file, const VideoSettings& settings) {
  State& s = *state_;
  s.file = &file;
  s.settings = settings;
  av_log_set_level(AV_LOG_ERROR);
  int code = avformat_alloc_output_context2(&s.format, nullptr, settings.codecs.container, nullptr);
  if (code < 0 || s.format == nullptr)
    return "cannot write " + file.name() + ": this FFmpeg has no " + settings.codecs.container +
           " muxer";
  s.picture = av_frame_alloc();
  s.sound = av_frame_alloc();
  s.packet = av_packet_alloc();
  if (s.picture == nullptr || s.sound == nullptr || s.packet == nullptr)
    return s.error("allocate frames for", AVERROR(ENOMEM));

  std::string failure = s.open_encoder(settings.codecs.video, s.video, s.video_stream, settings);
  if (!failure.empty()) return failure;
  if (settings.sound) {
    failure = s.open_encoder(settings.codecs.audio, s.audio, s.audio_stream, settings);
    if (!failure.empty()) return failure;
    AVChannelLayout stereo{};
    av_channel_layout_default(&stereo, sound::CHANNELS);
    code = swr_alloc_set_opts2(&s.resample, &s.audio->ch_layout, s.audio->sample_fmt,
                               s.audio->sample_rate, &stereo, AV_SAMPLE_FMT_S16, sound::SAMPLE_RATE,
                               0, nullptr);
    if (code < 0 || (code = swr_init(s.resample)) < 0) return s.error("resample for", code);
    s.fifo = av_audio_fifo_alloc(s.audio->sample_fmt, sound::CHANNELS, s.audio->sample_rate);
    if (s.fifo == nullptr) return s.error("allocate sound for", AVERROR(ENOMEM));
  }

  auto* buffer = static_cast<uint8_t*>(av_malloc(IO_BUFFER_BYTES));
  const bool can_seek = seekable(file.stream());
  s.io = avio_alloc_context(buffer, IO_BUFFER_BYTES, 1, &file, nullptr, write_bytes,
                            can_seek ? seek_bytes : nullptr);
  if (s.io == nullptr) {
    av_free(buffer);
    return s.error("allocate a buffer for", AVERROR(ENOMEM));
  }
  s.format->pb = s.io;
  s.format->flags |= AVFMT_FLAG_CUSTOM_IO;
  AVDictionary* options = nullptr;
  // A pipe or a device cannot be sought back in: MP4 then writes its index in fragments.
  if (!can_seek && settings.codecs.container == std::string("mp4"))
    av_dict_set(&options, "movflags", "frag_keyframe+empty_moov", 0);
  // A regular file gets its index moved to the front when it is complete, so that a browser or
  // a site plays it while it is still arriving. The muxer reads the file back by name: the
  // temporary file's own descriptor names it.
  if (can_seek && settings.codecs.container == std::string("mp4")) {
    av_dict_set(&options, "movflags", "+faststart", 0);
    const std::string self = "/proc/self/fd/" + std::to_string(fileno(file.stream()));
    av_freep(&s.format->url);
    s.format->url = av_strdup(self.c_str());
  }
  code = avformat_write_header(s.format, &options);
  av_dict_free(&options);
  if (code < 0) return s.error("write", code);
  s.header_written = true;
  return {};
}

std::string VideoEncoder::add_picture(const Image& image) {
  State& s = *state_;
  const VideoSettings& settings = s.settings;
  if (image.width != settings.width || image.height != settings.height)
    return "cannot encode " + s.file->name() + ": a picture of the wrong size";
  if (s.scale == nullptr || s.scale_channels != image.channels) {
    sws_freeContext(s.scale);
    const AVPixelFormat from = image.channels == 1 ? AV_PIX_FMT_GRAY8 : AV_PIX_FMT_RGB24;
    // Same size in and out: only the colours are converted, so point sampling is exact.
    s.scale = sws_getContext(image.width, image.height, from, settings.width, settings.height,
                             AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
    s.scale_channels = image.channels;
    if (s.scale == nullptr) return s.error("convert pictures for", AVERROR(EINVAL));
  }
  av_frame_unref(s.picture);
  s.picture->format = AV_PIX_FMT_YUV420P;
  s.picture->width = settings.width;
  s.picture->height = settings.height;
  int code = av_frame_get_buffer(s.picture, 0);
  if (code < 0) return s.error("encode", code);
  const uint8_t* planes[] = {image.bytes.data()};
  const int strides[] = {image.width * image.channels};
  sws_scale(s.scale, planes, strides, 0, image.height, s.picture->data, s.picture->linesize);
  s.picture->pts = s.frames++;
  return s.send(s.video, s.video_stream, s.picture);
}

std::string VideoEncoder::add_sound(std::span<const int16_t> samples) {
  State& s = *state_;
  if (s.audio == nullptr) return {};
  const int count = int(samples.size() / sound::CHANNELS);
  const int room = swr_get_out_samples(s.resample, count);
  if (room < 0) return s.error("resample", room);
  if (room == 0) return {};  // nothing in, nothing held back
  uint8_t** converted = nullptr;
  int code = av_samples_alloc_array_and_samples(&converted, nullptr, sound::CHANNELS, room,
                                                s.audio->sample_fmt, 0);
  if (code < 0) return s.error("resample", code);
  const uint8_t* in[] = {reinterpret_cast<const uint8_t*>(samples.data())};
  const int made = count > 0 ? swr_convert(s.resample, converted, room, in, count)
                             : swr_convert(s.resample, converted, room, nullptr, 0);
  if (made > 0) code = av_audio_fifo_write(s.fifo, reinterpret_cast<void**>(converted), made);
  av_freep(&converted[0]);
  av_freep(&converted);
  if (made < 0) return s.error("resample", made);
  if (code < 0) return s.error("resample", code);
  return s.encode_sound(false);
}

std::string VideoEncoder::finish() {
  State& s = *state_;
  if (!s.header_written) return s.error("write", AVERROR(EINVAL));
  std::string failure;
  if (s.audio != nullptr) {
    failure = add_sound({});  // what the resampler holds back
    if (failure.empty()) failure = s.encode_sound(true);
    if (failure.empty()) failure = s.send(s.audio, s.audio_stream, nullptr);
  }
  if (failure.empty()) failure = s.send(s.video, s.video_stream, nullptr);
  if (!failure.empty()) return failure;
  int code = av_write_trailer(s.format);
  if (code < 0) return s.error("write", code);
  avio_flush(s.io);
  return s.file->fail("");
}

}  // namespace tools::render
