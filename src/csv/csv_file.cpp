#include "csv/csv_file.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <QUrl>

#include "common/name_match.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include <csv.h>

namespace sb::csv {

namespace {

// The columns a layout is read from, named in lower case. A layout is
// recognised when its first row holds all of them but the note (older
// exports have none) and its `marks`, the columns that tell it from the
// others; other columns are ignored. The more particular layouts come first:
// a LastPass header holds Chrome's, a KeePassXC header 1Password's.
struct LayoutColumns
{
    Layout layout;
    std::array<const char*, 5> columns; // site name, address, user, password, note; "": none
    std::array<const char*, 2> marks;
};
enum Column { SiteName, Url, Username, Password, Note, Type };

constexpr LayoutColumns kLayouts[] = {
    {Layout::Bitwarden,
     {"name", "login_uri", "login_username", "login_password", "notes"},
     {"type", ""}},
    {Layout::Firefox, {"", "url", "username", "password", ""}, {"httprealm", "formactionorigin"}},
    {Layout::LastPass, {"name", "url", "username", "password", "extra"}, {"grouping", ""}},
    {Layout::KeePassXC, {"title", "url", "username", "password", "notes"}, {"group", ""}},
    {Layout::OnePassword, {"title", "url", "username", "password", "notes"}, {"", ""}},
    {Layout::Chrome, {"name", "url", "username", "password", "note"}, {"", ""}},
};

// A value as text, every character kept: QString::fromUtf8() would drop a
// byte-order mark in front.
QString toText(std::string_view utf8)
{
    QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decode(QByteArrayView(utf8.data(), qsizetype(utf8.size())));
}

std::string joinLines(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            out += ' ';
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Takes the rows of a file from libcsv, the first as the header.
class Reader
{
public:
    explicit Reader(CsvFile& out) : out_(out) {}

    QString read(std::string_view bytes)
    {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        csv_parser parser;
        if (csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) != 0)
            return QStringLiteral("The CSV reader cannot start.");
        // Blanks around an unquoted value are part of it (a password may
        // begin with one).
        csv_set_space_func(&parser, [](unsigned char) { return 0; });
        const size_t done = csv_parse(&parser, bytes.data(), bytes.size(), onField, onRowEnd, this);
        const bool whole = done == bytes.size();
        if (whole)
            csv_fini(&parser, onField, onRowEnd, this);
        const int failure = csv_error(&parser);
        csv_free(&parser);
        if (failure == CSV_EPARSE && whole)
            return QStringLiteral("The file is not valid CSV: it ends inside a quoted value (the "
                                  "double quote that opens it, after row %1, is never closed).")
                .arg(rowNumber_);
        if (failure == CSV_EPARSE)
            return QStringLiteral("The file is not valid CSV: a double quote on line %1 neither "
                                  "opens nor closes a quoted value.")
                .arg(1 + std::count(bytes.begin(), bytes.begin() + std::ptrdiff_t(done), '\n'));
        if (failure != CSV_SUCCESS)
            return QString::fromLatin1(csv_strerror(failure));
        if (rowNumber_ == 0)
            return QStringLiteral("The file is empty.");
        return error_;
    }

private:
    static void onField(void* data, size_t size, void* self)
    {
        auto& r = *static_cast<Reader*>(self);
        if (r.used_ == r.fields_.size())
            r.fields_.emplace_back();
        std::string& field = r.fields_[r.used_++];
        if (size == 0) // `data` may then be null
            field.clear();
        else
            store::decodeField({static_cast<const char*>(data), size}, field);
    }

    static void onRowEnd(int, void* self)
    {
        auto& r = *static_cast<Reader*>(self);
        if (++r.rowNumber_ == 1)
            r.readHeader();
        else if (r.error_.isEmpty())
            r.readRow();
        r.used_ = 0;
    }

    void readHeader()
    {
        std::vector<QString> names;
        for (size_t i = 0; i < used_; ++i)
            names.push_back(toText(fields_[i]).trimmed().toLower());
        auto find = [&names](const char* name) {
            const auto at = std::find(names.begin(), names.end(), QLatin1StringView(name));
            return *name == '\0' || at == names.end() ? -1 : int(at - names.begin());
        };
        for (const LayoutColumns& l : kLayouts) {
            bool all = true;
            for (int c = SiteName; c <= Note; ++c) {
                column_[c] = find(l.columns[c]);
                all = all && (column_[c] >= 0 || *l.columns[c] == '\0' || c == Note);
            }
            for (const char* mark : l.marks)
                all = all && (*mark == '\0' || find(mark) >= 0);
            column_[Type] = l.layout == Layout::Bitwarden ? find("type") : -1;
            if (all) {
                out_.layout = l.layout;
                columns_ = used_;
                return;
            }
        }
        error_ = QStringLiteral("The first line of the file does not name the columns of an "
                                "export understood: Chrome (or Chromium, Edge, Brave, Opera, "
                                "Vivaldi), Firefox, Bitwarden, KeePassXC, 1Password or LastPass.");
    }

    void readRow()
    {
        Row& row = out_.rows.emplace_back();
        row.number = rowNumber_;
        auto reject = [&row](Reason reason) {
            row.rejected = true;
            row.reason = reason;
        };
        const auto end = fields_.begin() + std::ptrdiff_t(used_);
        if (std::all_of(fields_.begin(), end, [](const std::string& f) { return f.empty(); }))
            return reject(Reason::Empty);
        if (used_ != columns_)
            return reject(Reason::FieldCount);
        const auto field = [this](int c) {
            return column_[c] < 0 ? std::string() : fields_[size_t(column_[c])];
        };
        row.site = field(SiteName);
        row.url = field(Url);
        if (out_.layout == Layout::Bitwarden)
            row.url = row.url.substr(0, row.url.find(',')); // the first of its addresses
        if (row.site.empty())
            row.site = siteFromUrl(row.url);
        row.username = field(Username);
        row.password = field(Password);
        row.extraInfo = joinLines(field(Note));
        if (column_[Type] >= 0 && toText(field(Type)).toLower() != "login")
            reject(Reason::NotALogin);
        else if (row.username.empty() && row.password.empty())
            reject(Reason::NoLogin);
        else if (row.site.empty())
            reject(Reason::NoSite);
        else if ((row.site + row.url + row.username + row.password + row.extraInfo).find('"') !=
                 std::string::npos)
            reject(Reason::DoubleQuote);
    }

    CsvFile& out_;
    std::vector<std::string> fields_; // the fields of the row being read; the first `used_` hold it
    size_t used_ = 0;
    int rowNumber_ = 0;
    size_t columns_ = 0;
    std::array<int, 6> column_{}; // the index of each Column, -1 when the layout has none
    QString error_;
};

// Appends `value` as a CSV value.
void putValue(std::string_view value, std::string& out)
{
    const bool quote = value.find_first_of(",\"\r\n") != std::string_view::npos ||
                       (!value.empty() && (value.front() == ' ' || value.front() == '\t' ||
                                           value.back() == ' ' || value.back() == '\t'));
    if (!quote) {
        out += value;
        return;
    }
    out += '"';
    for (const char c : value) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

QString layoutName(Layout layout)
{
    switch (layout) {
    case Layout::Chrome:
        return QStringLiteral("Chrome");
    case Layout::Firefox:
        return QStringLiteral("Firefox");
    case Layout::Bitwarden:
        return QStringLiteral("Bitwarden");
    case Layout::KeePassXC:
        return QStringLiteral("KeePassXC");
    case Layout::OnePassword:
        return QStringLiteral("1Password");
    case Layout::LastPass:
        return QStringLiteral("LastPass");
    }
    return {};
}

QString parseCsv(std::string_view bytes, CsvFile& out)
{
    out = {};
    return Reader(out).read(bytes);
}

QString readCsvFile(const QString& path, CsvFile& out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("The file cannot be read: %1").arg(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return QStringLiteral("The file cannot be read: %1").arg(file.errorString());
    return parseCsv({bytes.constData(), size_t(bytes.size())}, out);
}

QString droppedCsvFile(const QList<QUrl>& urls)
{
    if (urls.size() != 1 || !urls[0].isLocalFile())
        return {};
    const QString path = urls[0].toLocalFile();
    return path.endsWith(QLatin1StringView(".csv"), Qt::CaseInsensitive) ? path : QString();
}

std::string siteFromUrl(const std::string& url)
{
    const QString text = toText(url);
    QUrl parsed(text);
    if (parsed.host().isEmpty() && parsed.scheme().isEmpty())
        parsed = QUrl(QStringLiteral("http://") + text); // "example.com/login"
    QString host = parsed.host();
    if (host.startsWith(QLatin1StringView("www.")))
        host.remove(0, 4);
    return host.isEmpty() ? url : host.toStdString();
}

std::string upperKey(std::string_view utf8)
{
    std::string key(utf8);
    for (char& c : key) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return common::upperUtf8(toText(utf8));
        c = common::asciiUpper(c);
    }
    return key;
}

std::string exportCsv(const std::vector<store::Record>& sites,
                      const std::vector<store::Record>& accounts)
{
    const auto field = [](const store::Record& r, size_t i) {
        return i < r.size() ? std::string_view(r[i]) : std::string_view();
    };
    std::string out = "name,url,username,password,note\n";
    const auto putRow = [&](std::string_view name, std::string_view url, const store::Record& a) {
        for (const std::string_view value : {name, url, field(a, 1), field(a, 2), field(a, 3)}) {
            putValue(value, out);
            out += ',';
        }
        out.back() = '\n';
    };
    std::unordered_map<std::string, std::vector<size_t>> bySite; // accounts, in file order
    for (size_t i = 0; i < accounts.size(); ++i)
        bySite[upperKey(field(accounts[i], 0))].push_back(i);
    std::vector<bool> done(accounts.size());
    for (const store::Record& site : sites) {
        const auto it = bySite.find(upperKey(field(site, 0)));
        if (it == bySite.end())
            continue;
        for (const size_t i : it->second) {
            putRow(field(site, 0), field(site, 1), accounts[i]);
            done[i] = true;
        }
        bySite.erase(it); // a site listed twice: its first record
    }
    for (size_t i = 0; i < accounts.size(); ++i) {
        if (!done[i])
            putRow(field(accounts[i], 0), {}, accounts[i]);
    }
    return out;
}

store::Status writeCsvFile(const QString& path, std::string_view bytes)
{
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) &&
                         file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size()) &&
                         file.commit();
    if (written)
        return {};
    return store::Error{path.toStdString(), file.errorString().toStdString()};
}

} // namespace sb::csv
