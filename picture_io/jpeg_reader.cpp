// JPEG through libjpeg-turbo, natively: baseline, progressive and arithmetic-coded, grey,
// colour and CMYK. Colour is decoded straight into the colour words; grey and CMYK a row at a
// time. CMYK is taken as the inverted CMYK that Adobe's programs write, and turned into RGB as
// browsers turn it (each channel times K over 255), so that every host shows the same pixels.
//
// Every warning libjpeg gives about corrupt data (a cut file, missing restart markers, a bad
// Huffman code, extraneous bytes) refuses the file: libjpeg would go on and fill what is
// missing with grey or garbage.
#include <setjmp.h>
#include <stdio.h>
#include <string.h>

// jpeglib.h needs size_t and FILE before it.
#include <jerror.h>
#include <jpeglib.h>

#include <string>

#include "decoders.h"

namespace picture_io {
namespace {

struct ErrorManager {
    jpeg_error_mgr methods;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    int code = 0;
};

struct SourceManager {
    jpeg_source_mgr methods;
    Input* input;
    unsigned char buffer[1 << 16];
};

// A progressive JPEG may hold any number of scans, and each is a pass over the whole picture: a
// small file of thousands would take minutes. Real ones have about ten.
const int MaxScans = 1000;

struct JpegDecoder : Reader::Decoder {
    jpeg_decompress_struct info;
    ErrorManager errors;
    SourceManager source;
    jpeg_progress_mgr progress;
    bool created = false;
    Metadata metadata;

    ~JpegDecoder() override {
        if (created)
            jpeg_destroy_decompress(&info);
    }
    bool Decode(Picture* picture, std::string* reason) override;
    bool Failed(std::string* reason) const;
};

void OnError(j_common_ptr common) {
    ErrorManager* errors = reinterpret_cast<ErrorManager*>(common->err);
    errors->code = errors->methods.msg_code;
    (*common->err->format_message)(common, errors->message);
    longjmp(errors->jump, 1);
}

// Warnings (level -1) about corrupt data are errors; the JFIF version is not about the data.
void OnMessage(j_common_ptr common, int level) {
    if (level < 0 && common->err->msg_code != JWRN_JFIF_MAJOR)
        OnError(common);
}

void OnProgress(j_common_ptr common) {
    j_decompress_ptr info = reinterpret_cast<j_decompress_ptr>(common);
    if (info->input_scan_number > MaxScans) {
        ErrorManager* errors = reinterpret_cast<ErrorManager*>(common->err);
        snprintf(errors->message, sizeof errors->message, "more than %d scans", MaxScans);
        errors->code = 0;
        longjmp(errors->jump, 1);
    }
}

void InitSource(j_decompress_ptr) {}

boolean FillInput(j_decompress_ptr info) {
    SourceManager* source = reinterpret_cast<SourceManager*>(info->src);
    size_t got = source->input->Read(source->buffer, sizeof source->buffer);
    if (got == 0) {
        // The end of the file before the end of the picture: libjpeg's warning, made an error.
        WARNMS(info, JWRN_JPEG_EOF);
        source->buffer[0] = 0xFF;
        source->buffer[1] = JPEG_EOI;
        got = 2;
    }
    source->methods.next_input_byte = source->buffer;
    source->methods.bytes_in_buffer = got;
    return TRUE;
}

void SkipInput(j_decompress_ptr info, long count) {
    SourceManager* source = reinterpret_cast<SourceManager*>(info->src);
    while (count > long(source->methods.bytes_in_buffer)) {
        count -= long(source->methods.bytes_in_buffer);
        FillInput(info);
    }
    if (count > 0) {
        source->methods.next_input_byte += count;
        source->methods.bytes_in_buffer -= size_t(count);
    }
}

void TermSource(j_decompress_ptr) {}

bool JpegDecoder::Failed(std::string* reason) const {
    const int c = errors.code;
    if (input.failed)
        *reason = "a read failed";
    else if (c == JERR_OUT_OF_MEMORY)
        *reason = "not enough memory";
    else if (c == JERR_SOF_UNSUPPORTED || c == JERR_BAD_PRECISION || c == JERR_NOT_COMPILED ||
             c == JERR_ARITH_NOTIMPL || c == JERR_CCIR601_NOTIMPL || c == JERR_CONVERSION_NOTIMPL)
        *reason = std::string("unsupported JPEG: ") + errors.message;
    else
        *reason = std::string("damaged JPEG: ") + errors.message;
    return false;
}

// The orientation from the first APP1 segment that holds EXIF, and the ICC profile.
bool ReadMetadata(JpegDecoder* d) {
    for (jpeg_saved_marker_ptr m = d->info.marker_list; m != nullptr; m = m->next)
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            memcmp(m->data, "Exif\0\0", 6) == 0) {
            d->metadata.orientation = ExifOrientation(m->data + 6, m->data_length - 6);
            break;
        }
    if (setjmp(d->errors.jump))
        return false;
    JOCTET* profile = nullptr;
    unsigned int size = 0;
    if (jpeg_read_icc_profile(&d->info, &profile, &size)) {
        d->metadata.colour.push_back(IccpChunk(profile, size));
        free(profile);
        if (d->metadata.colour.back().data.empty())
            d->metadata.colour.pop_back();
    }
    return true;
}

bool ReadHeader(JpegDecoder* d) {
    if (setjmp(d->errors.jump))
        return false;
    jpeg_read_header(&d->info, TRUE);
    return true;
}

bool Start(JpegDecoder* d) {
    if (setjmp(d->errors.jump))
        return false;
    jpeg_start_decompress(&d->info);
    return true;
}

bool ReadRow(JpegDecoder* d, JSAMPROW row) {
    if (setjmp(d->errors.jump))
        return false;
    return jpeg_read_scanlines(&d->info, &row, 1) == 1;
}

bool Finish(JpegDecoder* d) {
    if (setjmp(d->errors.jump))
        return false;
    jpeg_finish_decompress(&d->info);
    return true;
}

} // namespace

std::unique_ptr<Reader::Decoder> OpenJpeg(Input input, Header* header, std::string* reason) {
    std::unique_ptr<JpegDecoder> d(new JpegDecoder);
    d->input = input;
    header->format = Format::Jpeg;
    d->info.err = jpeg_std_error(&d->errors.methods);
    d->errors.methods.error_exit = OnError;
    d->errors.methods.emit_message = OnMessage;
    if (setjmp(d->errors.jump)) {
        d->Failed(reason);
        return nullptr;
    }
    jpeg_create_decompress(&d->info);
    d->created = true;
    d->source.input = &d->input;
    d->source.methods.init_source = InitSource;
    d->source.methods.fill_input_buffer = FillInput;
    d->source.methods.skip_input_data = SkipInput;
    d->source.methods.resync_to_restart = jpeg_resync_to_restart;
    d->source.methods.term_source = TermSource;
    d->source.methods.bytes_in_buffer = 0;
    d->source.methods.next_input_byte = nullptr;
    d->info.src = &d->source.methods;
    d->progress.progress_monitor = OnProgress;
    d->info.progress = &d->progress;
    jpeg_save_markers(&d->info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&d->info, JPEG_APP0 + 2, 0xFFFF);
    if (!ReadHeader(d.get()) || !ReadMetadata(d.get())) {
        d->Failed(reason);
        // A frame header that gave the size is judged by it first; the damage comes with
        // decoding.
        if (d->info.image_width == 0 || d->info.image_height == 0 || d->input.failed ||
            d->info.num_components == 0)
            return nullptr;
        d->deferred = *reason;
    }
    const int components = d->info.num_components;
    if (components != 1 && components != 3 && components != 4) {
        *reason = "unsupported JPEG: " + std::to_string(components) + " components";
        return nullptr;
    }
    d->info.out_color_space = components == 1   ? JCS_GRAYSCALE
                              : components == 3 ? JCS_EXT_BGRX
                                                : JCS_CMYK;
    header->width = d->info.image_width;
    header->height = d->info.image_height;
    header->channels = components == 1 ? 1 : 3;
    header->bitDepth = 8;
    header->orientation = d->metadata.orientation;
    return d;
}

bool JpegDecoder::Decode(Picture* picture, std::string* reason) {
    if (!Start(this))
        return Failed(reason);
    const size_t w = size_t(picture->width);
    if (info.output_width != w || info.output_height != size_t(picture->height)) {
        *reason = "damaged JPEG: it decodes to another size than its header gives";
        return false;
    }
    const bool grey = info.out_color_space == JCS_GRAYSCALE;
    const bool cmyk = info.out_color_space == JCS_CMYK;
    std::vector<JSAMPLE> row(cmyk ? w * 4 : grey ? w : 0); // colour needs none
    for (size_t y = 0; y < size_t(picture->height); ++y) {
        uint32_t* out = &picture->pixels[y * w];
        if (!ReadRow(this, row.empty() ? reinterpret_cast<JSAMPROW>(out) : row.data()))
            return Failed(reason);
        if (grey) {
            for (size_t x = 0; x < w; ++x)
                out[x] = Word(row[x], row[x], row[x], 0);
        } else if (cmyk) {
            for (size_t x = 0; x < w; ++x) {
                const JSAMPLE* p = &row[4 * x];
                out[x] = Word(p[0] * p[3] / 255u, p[1] * p[3] / 255u, p[2] * p[3] / 255u, 0);
            }
        } else {
            for (size_t x = 0; x < w; ++x)
                out[x] &= ~OpaqueAlpha; // the filler byte
        }
    }
    if (!Finish(this))
        return Failed(reason);
    picture->colour = metadata.colour;
    return true;
}

} // namespace picture_io
