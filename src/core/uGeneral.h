// General routines shared by the whole system: the exception classes, number and hex text,
// tokens, command-line switches, file versions and password scrambling.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Root of every exception the project raises: a std::exception carrying a translated message.
class ETarvellError : public std::exception {
public:
    explicit ETarvellError(QString message);
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.c_str(); }

private:
    QString FMessage;
    std::string FUtf8;
};

// A failure the user caused or can fix; shown as a warning box, never a crash report.
class EUserError : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};

// A text that is not a number, or a hex pair that is not hex.
class EConvertError : public ETarvellError {
public:
    using ETarvellError::ETarvellError;
};

// A broken precondition: a programming error naming its unit and line.
class EAssertionFailed : public ETarvellError {
public:
    EAssertionFailed(const QString& text, const char* unit, int line);
};

// An enumeration value outside its range ("Enum error").
class EEnumError : public ETarvellError {
public:
    EEnumError();
};

// Throws EAssertionFailed when cond is false.
void AssertOrThrow(bool cond, const QString& text, const char* unit, int line);

// Translation context for texts of this unit outside QObject classes.
class TGeneralTexts {
    Q_DECLARE_TR_FUNCTIONS(uGeneral)
};

// --- hourglass ------------------------------------------------------------------------------
// Logic shows the hourglass through this guard; the window layer installs the handler (true: show,
// false: restore the previous cursor). Nested guards call it only at the outermost level.
void SetHourglassHandler(std::function<void(bool busy)> handler);
class THourglass {
public:
    THourglass();
    ~THourglass();
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
};

// Sets a flag for a scope and clears it on every exit, errors included.
struct TFlagScope {
    explicit TFlagScope(bool& flag)
        : Flag(flag)
    {
        Flag = true;
    }
    ~TFlagScope() { Flag = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;
    bool& Flag;
};

// The program's title, "Tarvell": window captions, message boxes and the %AppName% of site URLs.
QString ApplicationTitle();
// The product's web site, without a trailing "/" (its pages are appended as "/faq.htm"); the
// environment variable TARVELL_WEBSITE overrides the default.
QString ProductWebSite();

// --- command line ---------------------------------------------------------------------------
// The parameters after the program name; set once by the entry point (tests may set them too).
void SetCommandLineParams(const QStringList& params);
const QStringList& CommandLineParams();
// Position (from 1) of the first parameter equal to the switch, case-insensitive; -1 when absent.
int ParamIndex(const QString& aSwitch);
bool ParamExists(const QString& aSwitch);
// True for the program's own switches ("/multi", "/update", "/silent", "/tray", "/dev" in any case,
// and parameters starting with "/PROF:"); every other parameter is a path, so absolute paths work.
bool IsCommandLineSwitch(const QString& param);
// The parameters that are paths, in order.
QStringList CommandLinePaths();

// --- hex and number text --------------------------------------------------------------------
// Two upper-case hex digits per byte.
std::string StrToHex(std::string_view bytes);
// One byte per hex pair. Odd length: EAssertionFailed; a pair that is not hex: EConvertError.
std::string HexToStr(std::string_view hex);

// Number text in files always uses "." whatever the locale. DotFormatSettings names that choice.
struct TFormatSettings {
    char DecimalSeparator = '.';
};
const TFormatSettings& DotFormatSettings();

// Converts text to a double; separator (when not 0) is the decimal separator used by the text.
// Leading and trailing blanks are allowed; anything else, "nan" and "inf" raise EConvertError.
// The error message shows the text as it is: the 8-bit overload takes text of the system code
// page (as text formats read it), StrToFloatSepUtf8 UTF-8 (as XML values are read).
double StrToFloatSep(const QString& text, QChar separator = QChar('.'));
double StrToFloatSep(std::string_view text, char separator = '.');
double StrToFloatSepUtf8(std::string_view utf8, char separator = '.');
// Shortest text that reads back to the same double, with separator as decimal point.
QString FloatToStrSep(double value, QChar separator = QChar('.'));
// The general number format's 15 significant digits, trailing zeros dropped, in fixed notation
// (never an exponent) with "." as decimal point; for coordinates in XML files.
std::string FloatToPlainText(double value);
// Parses a whole decimal 32-bit integer (optional sign, blanks around); else EConvertError.
int32_t StrToInt32(std::string_view text);
// Fixed-point text with exactly decimals digits after ".", for writers.
std::string FloatToFixed(double value, int decimals);
void AppendFixed(std::string& out, double value, int decimals);

// --- tokens, filling, splitting -------------------------------------------------------------
// A field of a stored "key=value" line: the characters of escaped (any of "|", "=", CR, LF)
// become "%7C", "%3D", "%0D", "%0A"; "%" itself becomes "%25" only ahead of one of those codes
// or "25", so texts without them are stored as they always were.
QString EscapeStoredField(const QString& text, const QString& escaped);
QString UnescapeStoredField(const QString& text);
QString CutToken(QString& text, QChar separator);
int TokenCount(const QString& text, QChar separator);
QString TokenAt(const QString& text, QChar separator, int n);
QString PadLeft(const QString& text, QChar c, int length);
QString RepeatChar(QChar c, int count);
// Splits at commas outside double quotes; quotes dropped; fields trimmed of spaces and control
// characters; at most maximum fields
// (maximum <= 0: no limit), the last one keeping further commas.
void SplitCsvLine(std::string_view line, std::vector<std::string>& fields, int maximum);
// Splits text into lines at CR, LF or CR LF; a final line break adds no empty line. The views
// point into text.
std::vector<std::string_view> SplitTextLines(std::string_view text);
// The text without spaces and control characters (bytes up to 0x20) at both ends.
std::string_view TrimControls(std::string_view text);
// A text made fit for one field of a line-based file: CR, LF and every byte in blanked become a
// blank, every byte in dropped is left out.
std::string SingleLineField(std::string_view text, std::string_view dropped, std::string_view blanked = {});

// --- file versions --------------------------------------------------------------------------
struct TFileVersionNumbers {
    int Major = 0;
    int Minor = 0;
    int Release = 0;
    int Build = 0;
    bool operator==(const TFileVersionNumbers&) const = default;
};
// The version record embedded in an executable of this project; all zero when the file has none
// (or cannot be read).
TFileVersionNumbers GetFileVersionNumbers(const QString& fileName);
// The version this program was built with.
TFileVersionNumbers ProgramVersionNumbers();
// Full path of the running executable (or the override set for tests).
QString ExecutablePath();

// --- password scrambling --------------------------------------------------------------------
// A keyed, length-preserving transformation of a byte string; UnscrambleText with the same key
// reverses ScrambleText.
std::string ScrambleText(std::string_view text, uint16_t key);
std::string UnscrambleText(std::string_view text, uint16_t key);
