#include "frames/video_file.hpp"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <vector>

#include "driver/demo.hpp"

#if VANTREL_FRAMES_VIDEO
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}
#endif

namespace vantrel::frames {

namespace {

constexpr std::int64_t millisecondsPerSecond = 1000;

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

std::optional<VideoKind> videoKindOf(std::string_view path) {
  const std::string extension = lowerCase(std::filesystem::path(path).extension().string());
  if (extension == ".mp4") return VideoKind::mp4;
  if (extension == ".mkv") return VideoKind::mkv;
  return std::nullopt;
}

int defaultVideoScale(VideoKind kind) {
  return kind == VideoKind::mp4 ? 2 : 1;
}

// Output frame k starts at k / rate seconds; the show's frame n covers
// [(n - 1) x 11, n x 11) ms. Counted in whole numbers so no frame is lost or
// doubled by rounding.
std::int64_t outputFrameCount(int shownFrames, int outputRate) {
  if (outputRate == 0) return shownFrames;
  const std::int64_t showMs = std::int64_t{shownFrames} * frameSpacingMilliseconds;
  return (showMs * outputRate + millisecondsPerSecond - 1) / millisecondsPerSecond;
}

int showFrameAt(std::int64_t outputFrame, int outputRate) {
  if (outputRate == 0) return static_cast<int>(outputFrame + 1);
  const std::int64_t spacing = std::int64_t{frameSpacingMilliseconds} * outputRate;
  return static_cast<int>(outputFrame * millisecondsPerSecond / spacing + 1);
}

std::int64_t soundFramesFor(int shownFrames) {
  const std::int64_t showMs = std::int64_t{shownFrames} * frameSpacingMilliseconds;
  return (showMs * pcmRate + millisecondsPerSecond - 1) / millisecondsPerSecond;
}

#if !VANTREL_FRAMES_VIDEO

class VideoEncoder {};

std::unique_ptr<VideoFile> VideoFile::open(const std::string&, const VideoSettings&,
                                           std::span<const PcmSample>, std::string& error) {
  error = "this build of vantrel-frames writes no video (it was built without libavcodec)";
  return nullptr;
}

bool VideoFile::addFrame(int, const RgbImage&) {
  return false;
}
bool VideoFile::finish() {
  return false;
}
const std::string& VideoFile::error() const {
  static const std::string none;
  return none;
}

#else

namespace {

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE]{};
  av_strerror(code, text, sizeof text);
  return text;
}

struct CodecFreer {
  void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerFreer {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
using CodecHandle = std::unique_ptr<AVCodecContext, CodecFreer>;
using FrameHandle = std::unique_ptr<AVFrame, FrameFreer>;
using PacketHandle = std::unique_ptr<AVPacket, PacketFreer>;
using ScalerHandle = std::unique_ptr<SwsContext, ScalerFreer>;

constexpr int aacBitRate = 256'000;
// x264: "superfast" keeps a whole show well inside two minutes on two cores;
// at CRF 16 the block picture still decodes above 40 dB.
constexpr const char* x264Preset = "superfast";
constexpr const char* x264Quality = "16";
constexpr int keyFrameSeconds = 2;
constexpr int flacFallbackFrameSize = 4096;

// The encoders each kind uses.
struct KindCodecs {
  const char* container;
  const char* videoEncoder;
  AVPixelFormat pixelFormat;
  const char* audioEncoder;
  AVSampleFormat sampleFormat;
};

KindCodecs codecsFor(const VideoSettings& settings) {
  KindCodecs codecs{"matroska", "ffv1", AV_PIX_FMT_0RGB32, "flac", AV_SAMPLE_FMT_S16};
  if (settings.kind == VideoKind::mp4) {
    codecs = {"mp4", "libx264", AV_PIX_FMT_YUV420P, "aac", AV_SAMPLE_FMT_FLTP};
  }
  if (!settings.videoEncoder.empty()) codecs.videoEncoder = settings.videoEncoder.c_str();
  return codecs;
}

}  // namespace

class VideoEncoder {
 public:
  VideoEncoder(const VideoSettings& settings, std::span<const PcmSample> track)
      : settings_(settings),
        codecs_(codecsFor(settings)),
        track_(track),
        width_(screenPixelWidth * settings.scale),
        height_(screenPixelHeight * settings.scale) {}

  ~VideoEncoder() {
    if (output_ != nullptr) {
      if (output_->pb != nullptr) avio_closep(&output_->pb);
      avformat_free_context(output_);
    }
  }
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  bool open(const std::string& path) {
    return openContainer(path) && openVideo() && openAudio() && startFile(path);
  }

  bool addFrame(int frame, const RgbImage& picture) {
    for (; showFrameAt(nextOutputFrame_, settings_.outputRate) == frame; ++nextOutputFrame_) {
      if (!convertPicture(picture) || !encodePicture(nextOutputFrame_)) return false;
    }
    lastFrame_ = frame;
    return encodeSoundUpTo(soundFramesFor(frame), false);
  }

  bool finish() {
    if (!encodeSoundUpTo(soundFramesFor(lastFrame_), true)) return false;
    if (!drain(video_.get(), videoStream_, nullptr) ||
        !drain(audio_.get(), audioStream_, nullptr)) {
      return false;
    }
    const int trailer = av_write_trailer(output_);
    if (trailer < 0) return fail(avError(trailer));
    if (output_->pb->error < 0) return fail(avError(output_->pb->error));
    const int closed = avio_closep(&output_->pb);
    if (closed < 0) return fail(avError(closed));
    return true;
  }

  const std::string& error() const { return error_; }

 private:
  bool fail(std::string reason) {
    if (error_.empty()) error_ = std::move(reason);
    return false;
  }
  bool failed(int code) { return fail(avError(code)); }

  bool openContainer(const std::string& path) {
    const int made =
        avformat_alloc_output_context2(&output_, nullptr, codecs_.container, path.c_str());
    if (made < 0 || output_ == nullptr) return failed(made);
    packet_.reset(av_packet_alloc());
    return packet_ != nullptr || fail("out of memory");
  }

  AVStream* newStream(AVCodecContext* codec) {
    AVStream* stream = avformat_new_stream(output_, nullptr);
    if (stream == nullptr) return nullptr;
    if (avcodec_parameters_from_context(stream->codecpar, codec) < 0) return nullptr;
    stream->time_base = codec->time_base;
    return stream;
  }

  CodecHandle allocate(const char* name) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(name);
    if (encoder == nullptr) {
      fail(std::string("this libavcodec has no ") + name + " encoder");
      return nullptr;
    }
    CodecHandle codec(avcodec_alloc_context3(encoder));
    if (codec == nullptr) fail("out of memory");
    if (codec != nullptr && (output_->oformat->flags & AVFMT_GLOBALHEADER) != 0) {
      codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    return codec;
  }

  AVRational frameDuration() const {
    if (settings_.outputRate == 0) return {frameSpacingMilliseconds, 1000};
    return {1, settings_.outputRate};
  }

  void setVideoOptions(AVCodecContext& codec) const {
    if (settings_.kind == VideoKind::mp4) {
      av_opt_set(codec.priv_data, "preset", x264Preset, 0);
      av_opt_set(codec.priv_data, "crf", x264Quality, 0);
      av_opt_set(codec.priv_data, "profile", "high", 0);
      // What the RGB pictures are converted with, said in the stream so
      // players convert back the same way.
      codec.colorspace = AVCOL_SPC_BT709;
      codec.color_primaries = AVCOL_PRI_BT709;
      codec.color_trc = AVCOL_TRC_BT709;
      codec.color_range = AVCOL_RANGE_MPEG;
    } else {
      codec.level = 3;  // FFV1 version 3: slices, coded in parallel, each with a checksum
      av_opt_set(codec.priv_data, "slicecrc", "1", 0);
    }
  }

  bool openVideo() {
    video_ = allocate(codecs_.videoEncoder);
    if (!video_) return false;
    video_->width = width_;
    video_->height = height_;
    video_->pix_fmt = codecs_.pixelFormat;
    video_->time_base = frameDuration();
    video_->framerate = av_inv_q(video_->time_base);
    video_->gop_size = keyFrameSeconds * std::max(1, video_->framerate.num / video_->framerate.den);
    video_->thread_count = 0;  // as many as the processor has
    setVideoOptions(*video_);
    const int opened = avcodec_open2(video_.get(), video_->codec, nullptr);
    if (opened < 0) return fail(std::string(codecs_.videoEncoder) + ": " + avError(opened));
    videoStream_ = newStream(video_.get());
    if (videoStream_ == nullptr) return fail("cannot add the video stream");
    videoStream_->avg_frame_rate = video_->framerate;
    videoStream_->r_frame_rate = video_->framerate;
    return allocatePicture();
  }

  bool allocatePicture() {
    picture_.reset(av_frame_alloc());
    if (!picture_) return fail("out of memory");
    picture_->format = video_->pix_fmt;
    picture_->width = width_;
    picture_->height = height_;
    if (const int made = av_frame_get_buffer(picture_.get(), 0); made < 0) return failed(made);
    if (settings_.kind != VideoKind::mp4) return true;
    // The colours are converted once per picture pixel, at the picture's own
    // size, to full-resolution YUV; scaling up then only repeats samples.
    unscaled_.reset(av_frame_alloc());
    if (!unscaled_) return fail("out of memory");
    unscaled_->format = AV_PIX_FMT_YUV444P;
    unscaled_->width = screenPixelWidth;
    unscaled_->height = screenPixelHeight;
    if (const int made = av_frame_get_buffer(unscaled_.get(), 0); made < 0) return failed(made);
    scaler_.reset(sws_getContext(screenPixelWidth, screenPixelHeight, AV_PIX_FMT_RGB24,
                                 screenPixelWidth, screenPixelHeight, AV_PIX_FMT_YUV444P,
                                 SWS_POINT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr));
    if (!scaler_) return fail("cannot convert RGB to YUV");
    // Limited-range BT.709, as the stream says.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(scaler_.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return true;
  }

  bool openAudio() {
    audio_ = allocate(codecs_.audioEncoder);
    if (!audio_) return false;
    audio_->sample_fmt = codecs_.sampleFormat;
    audio_->sample_rate = pcmRate;
    av_channel_layout_default(&audio_->ch_layout, pcmChannels);
    audio_->time_base = {1, pcmRate};
    if (settings_.kind == VideoKind::mp4) audio_->bit_rate = aacBitRate;
    const int opened = avcodec_open2(audio_.get(), audio_->codec, nullptr);
    if (opened < 0) return fail(std::string(codecs_.audioEncoder) + ": " + avError(opened));
    audioStream_ = newStream(audio_.get());
    if (audioStream_ == nullptr) return fail("cannot add the audio stream");
    sound_.reset(av_frame_alloc());
    if (!sound_) return fail("out of memory");
    soundBlock_ = audio_->frame_size > 0 ? audio_->frame_size : flacFallbackFrameSize;
    sound_->format = audio_->sample_fmt;
    sound_->sample_rate = pcmRate;
    sound_->nb_samples = soundBlock_;
    av_channel_layout_copy(&sound_->ch_layout, &audio_->ch_layout);
    if (const int made = av_frame_get_buffer(sound_.get(), 0); made < 0) return failed(made);
    return true;
  }

  bool startFile(const std::string& path) {
    if (const int opened = avio_open(&output_->pb, path.c_str(), AVIO_FLAG_WRITE); opened < 0) {
      return failed(opened);
    }
    AVDictionary* options = nullptr;
    // MP4: the index before the media, so a browser plays it while it loads.
    if (settings_.kind == VideoKind::mp4) av_dict_set(&options, "movflags", "+faststart", 0);
    const int written = avformat_write_header(output_, &options);
    av_dict_free(&options);
    if (written < 0) return failed(written);
    return true;
  }

  // Writes one picture pixel as a scale x scale square, whole numbers only,
  // so every cell keeps its hard edges.
  template <typename Put>
  void forEachScaledPixel(const RgbImage& picture, Put put) const {
    const int scale = settings_.scale;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) put(x, y, picture.at(x / scale, y / scale));
    }
  }

  bool convertPicture(const RgbImage& picture) {
    if (const int writable = av_frame_make_writable(picture_.get()); writable < 0) {
      return failed(writable);
    }
    if (settings_.kind == VideoKind::mp4) return convertToYuv(picture);
    // FFV1's 8-bit RGB: one 32-bit word a pixel, 0x00RRGGBB in the machine's order.
    forEachScaledPixel(picture, [&](int x, int y, Rgb colour) {
      const std::uint32_t word =
          (std::uint32_t{colour.red} << 16U) | (std::uint32_t{colour.green} << 8U) | colour.blue;
      std::memcpy(picture_->data[0] + y * picture_->linesize[0] + 4 * x, &word, sizeof word);
    });
    return true;
  }

  // Each luma sample repeats its picture pixel; each chroma sample, one for
  // 2 x 2 output pixels, takes the picture pixel under its top-left one. With
  // an even scale that pixel covers all four, so every cell keeps its exact
  // colours through the halved chroma.
  bool convertToYuv(const RgbImage& picture) {
    const std::uint8_t* source[1] = {picture.data()};
    const int stride[1] = {3 * picture.width()};
    sws_scale(scaler_.get(), source, stride, 0, picture.height(), unscaled_->data,
              unscaled_->linesize);
    const int scale = settings_.scale;
    repeatSamples(unscaled_.get(), picture_.get(), 0, scale, 1);
    repeatSamples(unscaled_.get(), picture_.get(), 1, scale, 2);
    repeatSamples(unscaled_.get(), picture_.get(), 2, scale, 2);
    return true;
  }

  // Plane `plane` of `to`, whose samples each cover `step` x `step` output
  // pixels, from the picture-sized plane of `from`.
  void repeatSamples(const AVFrame* from, AVFrame* to, int plane, int scale, int step) {
    const int columns = (width_ + step - 1) / step;
    const int rows = (height_ + step - 1) / step;
    std::vector<int>& sourceColumn = sourceColumns_[step == 1 ? 0 : 1];
    if (sourceColumn.empty()) {
      for (int x = 0; x < columns; ++x) sourceColumn.push_back(x * step / scale);
    }
    for (int y = 0; y < rows; ++y) {
      const std::uint8_t* in = from->data[plane] + (y * step / scale) * from->linesize[plane];
      std::uint8_t* out = to->data[plane] + y * to->linesize[plane];
      for (int x = 0; x < columns; ++x) out[x] = in[sourceColumn[static_cast<std::size_t>(x)]];
    }
  }

  bool encodePicture(std::int64_t outputFrame) {
    picture_->pts = outputFrame;
    return drain(video_.get(), videoStream_, picture_.get());
  }

  // The track's sound frame `index` of the show, the track repeating from
  // its start as the demo plays it; silence without a track.
  PcmSample trackSample(std::int64_t frame, int channel) const {
    const auto trackFrames = static_cast<std::int64_t>(track_.size() / pcmChannels);
    if (trackFrames == 0) return 0;
    return track_[static_cast<std::size_t>((frame % trackFrames) * pcmChannels + channel)];
  }

  void fillSound(int count) {
    sound_->nb_samples = count;
    for (int n = 0; n < count; ++n) {
      for (int channel = 0; channel < pcmChannels; ++channel) {
        const PcmSample sample = trackSample(soundSent_ + n, channel);
        if (sound_->format == AV_SAMPLE_FMT_FLTP) {
          reinterpret_cast<float*>(sound_->data[channel])[n] =
              static_cast<float>(sample) / 32768.0F;
        } else {
          reinterpret_cast<std::int16_t*>(sound_->data[0])[n * pcmChannels + channel] = sample;
        }
      }
    }
  }

  // Encodes the sound up to sound frame `end` in the encoder's blocks; the
  // last, shorter block only when the show is over.
  bool encodeSoundUpTo(std::int64_t end, bool last) {
    while (soundSent_ < end) {
      const std::int64_t left = end - soundSent_;
      if (left < soundBlock_ && !last) return true;
      if (const int writable = av_frame_make_writable(sound_.get()); writable < 0) {
        return failed(writable);
      }
      const int count = static_cast<int>(std::min<std::int64_t>(left, soundBlock_));
      fillSound(count);
      sound_->pts = soundSent_;
      soundSent_ += count;
      if (!drain(audio_.get(), audioStream_, sound_.get())) return false;
    }
    return true;
  }

  // Sends `frame` (null: the end) to the encoder and writes every packet it gives back.
  bool drain(AVCodecContext* codec, AVStream* stream, const AVFrame* frame) {
    if (const int sent = avcodec_send_frame(codec, frame); sent < 0) return failed(sent);
    for (;;) {
      const int received = avcodec_receive_packet(codec, packet_.get());
      if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) return true;
      if (received < 0) return failed(received);
      av_packet_rescale_ts(packet_.get(), codec->time_base, stream->time_base);
      packet_->stream_index = stream->index;
      if (const int written = av_interleaved_write_frame(output_, packet_.get()); written < 0) {
        return failed(written);
      }
    }
  }

  VideoSettings settings_;
  KindCodecs codecs_;
  std::span<const PcmSample> track_;
  int width_;
  int height_;
  AVFormatContext* output_ = nullptr;
  CodecHandle video_;
  CodecHandle audio_;
  AVStream* videoStream_ = nullptr;
  AVStream* audioStream_ = nullptr;
  FrameHandle picture_;
  FrameHandle sound_;
  PacketHandle packet_;
  FrameHandle unscaled_;               // the picture in YUV 4:4:4 at its own size
  std::vector<int> sourceColumns_[2];  // for luma and chroma: the picture column of each sample
  ScalerHandle scaler_;
  std::int64_t nextOutputFrame_ = 0;
  int lastFrame_ = 0;
  int soundBlock_ = 0;
  std::int64_t soundSent_ = 0;
  std::string error_;
};

std::unique_ptr<VideoFile> VideoFile::open(const std::string& path, const VideoSettings& settings,
                                           std::span<const PcmSample> track, std::string& error) {
  // Every failure is reported in the tool's own one line.
  av_log_set_level(AV_LOG_QUIET);
  auto encoder = std::make_unique<VideoEncoder>(settings, track);
  if (!encoder->open(path)) {
    error = encoder->error();
    return nullptr;
  }
  return std::unique_ptr<VideoFile>(new VideoFile(std::move(encoder)));
}

bool VideoFile::addFrame(int frame, const RgbImage& picture) {
  return encoder_->addFrame(frame, picture);
}

bool VideoFile::finish() {
  return encoder_->finish();
}

const std::string& VideoFile::error() const {
  return encoder_->error();
}

#endif

VideoFile::VideoFile(std::unique_ptr<VideoEncoder> encoder) : encoder_(std::move(encoder)) {}
VideoFile::~VideoFile() = default;

}  // namespace vantrel::frames
