#ifndef LARKWIN_TESTS_PACK_ZIP_ZIPTESTSUPPORT_H
#define LARKWIN_TESTS_PACK_ZIP_ZIPTESTSUPPORT_H

// Zip archives written byte by byte, as jar tools write them, for the tests of
// the merge and the bundle.

#include <string>
#include <zlib.h>

inline void put2(std::string& out, unsigned value) {
    out += (char)(value & 0xFF);
    out += (char)(value >> 8 & 0xFF);
}

inline void put4(std::string& out, unsigned long value) {
    put2(out, value & 0xFFFF);
    put2(out, value >> 16 & 0xFFFF);
}

inline unsigned get2(const std::string& in, size_t at) {
    return (unsigned char)in[at] | (unsigned char)in[at + 1] << 8;
}

inline unsigned long get4(const std::string& in, size_t at) {
    return get2(in, at) | (unsigned long)get2(in, at + 2) << 16;
}

enum descriptorKind { noDescriptor, plainDescriptor, signedDescriptor };

// Raw deflate data, as zip entries hold it.
inline std::string deflated(const std::string& content) {
    z_stream stream = {};
    deflateInit2(&stream, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, content.size()), '\0');
    stream.next_in = (unsigned char*)content.data();
    stream.avail_in = content.size();
    stream.next_out = (unsigned char*)&out[0];
    stream.avail_out = out.size();
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// A zip archive of stored or deflated entries, written the way jar tools do.
class archiveBuilder {
  public:
    void add(const std::string& name, const std::string& content,
             descriptorKind descriptor = noDescriptor, const std::string& localExtra = "",
             bool compress = false) {
        unsigned long crc = crc32(0, (const unsigned char*)content.data(), content.size());
        unsigned flags = descriptor != noDescriptor ? 8 : 0;
        unsigned method = compress ? 8 : 0;
        std::string data = compress ? deflated(content) : content;
        size_t offset = body.size();
        put4(body, 0x04034B50);
        put2(body, 20);
        put2(body, flags);
        put2(body, method);
        put4(body, 0);
        // A descriptor stands in for the CRC and sizes of the local header.
        put4(body, flags ? 0 : crc);
        put4(body, flags ? 0 : data.size());
        put4(body, flags ? 0 : content.size());
        put2(body, name.size());
        put2(body, localExtra.size());
        body += name + localExtra + data;
        if (descriptor == signedDescriptor) {
            put4(body, 0x08074B50);
        }
        if (descriptor != noDescriptor) {
            put4(body, crc);
            put4(body, data.size());
            put4(body, content.size());
        }
        put4(directory, 0x02014B50);
        put2(directory, 20);
        put2(directory, 20);
        put2(directory, flags);
        put2(directory, method);
        put4(directory, 0);
        put4(directory, crc);
        put4(directory, data.size());
        put4(directory, content.size());
        put2(directory, name.size());
        put2(directory, 0);
        put2(directory, 0);
        put2(directory, 0);
        put2(directory, 0);
        put4(directory, 0);
        put4(directory, offset);
        directory += name;
        count++;
    }

    std::string bytes() const {
        std::string all = body + directory;
        put4(all, 0x06054B50);
        put4(all, 0);
        put2(all, count);
        put2(all, count);
        put4(all, directory.size());
        put4(all, body.size());
        put2(all, 0);
        return all;
    }

    std::string body;
    std::string directory;
    unsigned count = 0;
};

#endif
