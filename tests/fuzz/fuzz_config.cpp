#include "storage/ConfigFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "fuzz_config: %s\n", what);
    std::abort();
}

bool sameFields(const ConfigFields &a, const ConfigFields &b)
{
    return a.portNumber == b.portNumber && a.folder == b.folder;
}

} // namespace

// Whatever a user, an editor or a broken disk leaves in "uploader.cfg" is read without a crash,
// and what start-up takes from it is written back at exit in a form that reads the same again.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const ConfigFields fields = readConfigFields(content);

    require(sameFields(readConfigFields(content), fields), "a second read differs from the first");
    require(!fields.folder || fields.portNumber, "a folder was read without a port");

    // A NUL is an ordinary character, read as any letter without a meaning here would be.
    if (content.contains('\0')) {
        QByteArray letters = content;
        letters.replace('\0', 'Z');
        ConfigFields expected = fields;
        if (expected.folder)
            expected.folder->replace(QChar(u'\0'), QLatin1Char('Z'));
        require(sameFields(readConfigFields(letters), expected), "a NUL is read as a separator");
    }
    if (!fields.folder)
        return 0;
    require(!fields.folder->contains(QLatin1Char('\r')) &&
                !fields.folder->contains(QLatin1Char('\n')),
            "the folder runs over a line end");

    // The file written holds the folder in quotes, nothing escaped: a folder read unquoted with
    // a quote inside cannot come back whole, and never came from the tool.
    if (fields.folder->contains(QLatin1Char('"')))
        return 0;
    const ConfigFields again =
        readConfigFields(configFileBytes(*fields.portNumber, *fields.folder));
    require(sameFields(again, fields), "the settings written back read differently");
    return 0;
}
