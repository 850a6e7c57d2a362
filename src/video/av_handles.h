#pragma once
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

// Owning handles for the FFmpeg objects used by the frame source.

struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct CodecFree {
  void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct ScalerFree {
  void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};
struct GraphFree {
  void operator()(AVFilterGraph* graph) const { avfilter_graph_free(&graph); }
};

using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFree>;
using ScalerPtr = std::unique_ptr<SwsContext, ScalerFree>;
using GraphPtr = std::unique_ptr<AVFilterGraph, GraphFree>;
