// Writes the archives that the batch-mode script test of archive.spi reads, into the folder
// given as the only argument. Page contents are texts a script can rebuild: "page NNN\n" repeated.
#include "ArchiveFixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

using namespace fixtures;

namespace {

Bytes page(int n)
{
    char line[16];
    std::snprintf(line, sizeof line, "page %03d\n", n);
    std::string text;
    for (int i = 0; i < 500 + n; ++i)
        text += line;
    return bytesOf(text);
}

bool put(const std::string& folder, const char* name, const Bytes& bytes)
{
    std::ofstream out(folder + "/" + name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::string folder = argv[1];
    std::filesystem::create_directories(folder);
    // Folders differing in case, a Japanese folder, files whose byte order is not their
    // collation order; a directory record for "pages" only.
    std::vector<Member> comic = {
        {"cover.jpg", page(0), 1600000000},
        {"pages/", {}, 1600000100},
        {"pages/001.jpg", page(1)},
        {"pages/002.jpg", page(2)},
        {"Pages/x.jpg", page(3)},
        {"\xE6\xBC\xAB\xE7\x94\xBB/b.jpg", page(4)},  // 漫画/b.jpg
        {"b.jpg", page(5)},
        {"A.jpg", page(6)},
    };
    std::vector<Member> thirty;
    for (int i = 1; i <= 30; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "p/%03d.jpg", i);
        thirty.push_back({name, page(i)});
    }
    const Bytes zip = writeArchive("zip", "", comic);
    const std::vector<Member> cp932 = {{"\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88/\xE8\xA1\xA8\xE7\xB4\x99.jpg", page(7)}};  // ソフト/表紙.jpg
    const bool ok = put(folder, "comic.zip", zip) && put(folder, "comic.7z", writeArchive("7zip", "", comic)) &&
                    put(folder, "comic.tar.gz", writeArchive("pax", "gzip", comic)) &&
                    put(folder, "cp932.zip", writeArchive("zip", "", cp932, "hdrcharset=CP932")) &&
                    put(folder, "cp932.rar", writeRar4({{toCp932(cp932[0].name), cp932[0].data}})) &&
                    put(folder, "outer.zip", writeArchive("zip", "", {{"inner/comic.zip", zip}})) &&
                    put(folder, "thirty.7z", writeArchive("7zip", "", thirty));
    return ok ? 0 : 1;
}
