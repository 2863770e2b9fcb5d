// Reading the command line into words and meaning, and the usage text shown for help or for a line refused.
#include "scheduler/CommandLine.h"

#include <cstring>

#include "platform/TextWriter.h"
#include "resources/version.h"

// The words are read as shell32's CommandLineToArgvW reads them on Windows XP and later (and msvcrt did before
// Visual C++ 2008), so that a line a script or the Task Scheduler writes means here what it means to any Windows
// program:
// - the program's name, the first word, runs to the next quote when it opens with one, else to the first space or
//   tab; backslashes and quotes inside it are plain characters, and the first word may follow its closing quote
//   without a blank;
// - the other words are separated by spaces and tabs outside quotes; a quote opens or closes a quoted part;
// - 2n backslashes before a quote give n backslashes and the quote opens or closes; 2n + 1 give n backslashes and a
//   literal quote; backslashes before anything else are themselves;
// - a run of quotes counts with the quote that opened the quoted part, if any: every third quote is a literal one,
//   and the run leaves the part open only when it counts a multiple of three plus one. So "" inside quotes gives a
//   literal quote and closes the part, and "" outside quotes is an empty word.
// Only ASCII bytes are special, so UTF-8 text goes through byte by byte.

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Lower case for ASCII and for the Latin-1 capitals, À to Þ but ×: the accented capitals a French keyboard gives
// (É, Ê, È, À, Ç...) are two UTF-8 bytes, C3 80 to C3 9E, whose small letters are C3 A0 to C3 BE.
void FoldCase(const char* in, size_t length, char* out) {
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(in[i]);
        unsigned char folded = c;
        if (c >= 'A' && c <= 'Z') folded = static_cast<unsigned char>(c + 32);
        if (i > 0 && static_cast<unsigned char>(in[i - 1]) == 0xC3 && c >= 0x80 && c <= 0x9E && c != 0x97)
            folded = static_cast<unsigned char>(c + 32);
        out[i] = static_cast<char>(folded);
    }
    out[length] = '\0';
}

enum class Switch { Unknown, Help, Arreter, Redemarrer, Veille };

// The switches, after their "/" or "-", in small letters: ASCII as a script writes them, accented as a French user
// types them. "veille" and "aide" have no accent to add.
struct KnownSwitch {
    const char* name;
    Switch meaning;
};
const KnownSwitch kSwitches[] = {
    {"arreter", Switch::Arreter},
    {"arrêter", Switch::Arreter},
    {"redemarrer", Switch::Redemarrer},
    {"redémarrer", Switch::Redemarrer},
    {"veille", Switch::Veille},
    {"?", Switch::Help},
    {"h", Switch::Help},
    {"aide", Switch::Help},
};

bool IsSwitch(const char* word, size_t length) {
    return length > 0 && (word[0] == '/' || word[0] == '-');
}

// word is a switch held whole (its length under kCommandWordCap).
Switch MeaningOf(const char* word, size_t length) {
    char folded[kCommandWordCap];
    FoldCase(word + 1, length - 1, folded);
    for (const KnownSwitch& known : kSwitches) {
        if (std::strlen(known.name) == length - 1 && std::memcmp(folded, known.name, length - 1) == 0)
            return known.meaning;
    }
    return Switch::Unknown;
}

CommandAction ActionOf(Switch meaning) {
    switch (meaning) {
    case Switch::Arreter: return CommandAction::Arreter;
    case Switch::Redemarrer: return CommandAction::Redemarrer;
    case Switch::Veille: return CommandAction::Veille;
    default: return CommandAction::StartOption;
    }
}

void KeepWord(CommandRequest& request, const char* word, size_t length) {
    CopyText(word, request.word, sizeof request.word);
    request.wordLength = length;
}

// The word as the usage box quotes it: control characters as "?", a long word cut to 40 bytes with "…".
void PutShownWord(TextWriter& text, const CommandRequest& request) {
    constexpr size_t kShownWordCap = 41;  // the 40 bytes and the NUL
    char shown[kShownWordCap];
    const size_t held = CopyText(request.word, shown, sizeof shown);
    for (const char* c = shown; *c != '\0'; ++c) {
        const unsigned char byte = static_cast<unsigned char>(*c);
        text.Put(byte < 0x20 || byte == 0x7F ? '?' : *c);
    }
    if (request.wordLength > held || held >= sizeof shown) text.Put("…");
}

const char kUsage[] =
    "Utilisation : \"" TARVEIL_FILE_NAME "\" hh:mm:ss [action]\n"
    "\n"
    "hh:mm:ss : l'heure, sur 24 heures, de 00:00:00 à 23:59:59.\n"
    "Ou un délai de moins de 24 heures, compté dès le lancement : +h:mm, +h:mm:ss ou +m (en minutes).\n"
    "action : /arreter (« Arrêter », le choix sans action), /redemarrer (« Redémarrer ») ou /veille "
    "(« Mettre en veille »).\n"
    "Majuscules, accents (/arrêter, /redémarrer) et - au lieu de / sont acceptés.\n"
    "\n"
    "Exemple : \"" TARVEIL_FILE_NAME "\" 23:00:00 /arreter\n"
    "Dans 1 h 30 : \"" TARVEIL_FILE_NAME "\" +1:30 /arreter\n"
    "Le programme choisit l'action, prend l'heure et se range dans la zone de notification, comme après un clic "
    "sur « OK ».\n"
    "\n"
    "/? ou /aide : cette aide.\n"
    "Code de sortie : 0 après cette aide, 2 quand la ligne est refusée.";

}  // namespace

const char* SkipProgramName(const char* line) {
    const char* p = line;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p++ != '"') {
        }
    } else {
        while (*p != '\0' && !IsBlank(*p)) ++p;
    }
    while (IsBlank(*p)) ++p;
    return p;
}

bool ReadCommandWord(const char** cursor, char* out, size_t cap, size_t* length) {
    const char* p = *cursor;
    if (*p == '\0') return false;
    TextWriter word(out, cap);
    int quotes = 0;  // 1 inside a quoted part
    while (*p != '\0' && !(IsBlank(*p) && quotes == 0)) {
        if (*p == '\\') {
            size_t run = 0;
            while (p[run] == '\\') ++run;
            if (p[run] != '"') {
                for (size_t i = 0; i < run; ++i) word.Put('\\');
                p += run;
                continue;
            }
            for (size_t i = 0; i < run / 2; ++i) word.Put('\\');
            p += run + 1;
            if (run % 2 == 1) {
                word.Put('"');
            } else {
                ++quotes;
            }
        } else if (*p == '"') {
            ++quotes;
            ++p;
        } else {
            word.Put(*p++);
            continue;
        }
        // The quotes that follow at once count with the ones before.
        while (*p == '"') {
            if (++quotes == 3) {
                word.Put('"');
                quotes = 0;
            }
            ++p;
        }
        if (quotes == 2) quotes = 0;
    }
    word.Finish();
    *length = word.Length();
    while (IsBlank(*p)) ++p;
    *cursor = p;
    return true;
}

CommandRequest ReadCommandLine(const char* line) {
    CommandRequest request;
    const char* cursor = SkipProgramName(line);
    bool anyWord = false, help = false, haveTime = false, haveAction = false;
    char actionWord[kCommandWordCap] = {};
    size_t actionLength = 0;
    char word[kCommandWordCap];
    size_t length = 0;
    // The first fault is kept; the words after it are read only for a request for help, which wins wherever it is.
    while (ReadCommandWord(&cursor, word, sizeof word, &length)) {
        anyWord = true;
        const bool whole = length < sizeof word;
        if (IsSwitch(word, length)) {
            const Switch meaning = whole ? MeaningOf(word, length) : Switch::Unknown;
            if (meaning == Switch::Help) {
                help = true;
            } else if (request.fault != CommandFault::None) {
                continue;
            } else if (meaning == Switch::Unknown) {
                request.fault = CommandFault::UnknownSwitch;
                KeepWord(request, word, length);
            } else if (haveAction) {
                request.fault = CommandFault::ActionTwice;
                KeepWord(request, word, length);
            } else {
                haveAction = true;
                request.action = ActionOf(meaning);
                CopyText(word, actionWord, sizeof actionWord);
                actionLength = length;
            }
        } else if (request.fault != CommandFault::None) {
            continue;
        } else if (haveTime) {
            request.fault = CommandFault::ExtraWord;
            KeepWord(request, word, length);
        } else if (whole && (ParseTimeText(word, length, nullptr) || ParseDelayText(word, length, nullptr))) {
            // The same check "OK" makes of the entry box; a delay becomes a time there, when the window arms.
            haveTime = true;
            CopyText(word, request.time, sizeof request.time);
        } else {
            request.fault = CommandFault::BadTime;
            KeepWord(request, word, length);
        }
    }
    if (help) {
        request.verdict = CommandVerdict::Help;
    } else if (request.fault != CommandFault::None) {
        request.verdict = CommandVerdict::Refused;
    } else if (!anyWord) {
        request.verdict = CommandVerdict::None;
    } else if (!haveTime) {
        request.verdict = CommandVerdict::Refused;
        request.fault = CommandFault::NoTime;
        KeepWord(request, actionWord, actionLength);
    } else {
        request.verdict = CommandVerdict::Arm;
    }
    if (request.verdict != CommandVerdict::Arm) {
        request.action = CommandAction::StartOption;
        request.time[0] = '\0';
    }
    if (request.verdict != CommandVerdict::Refused) {
        request.fault = CommandFault::None;
        request.word[0] = '\0';
        request.wordLength = 0;
    }
    return request;
}

size_t FormatUsage(const CommandRequest& request, char* out, size_t cap) {
    TextWriter text(out, cap);
    if (request.verdict == CommandVerdict::Refused) {
        switch (request.fault) {
        case CommandFault::UnknownSwitch: text.Put("Option inconnue : \""); break;
        case CommandFault::BadTime: text.Put("Heure refusée : \""); break;
        case CommandFault::ExtraWord: text.Put("Mot de trop : \""); break;
        case CommandFault::ActionTwice: text.Put("Action donnée deux fois : \""); break;
        case CommandFault::NoTime: text.Put("Il manque l'heure pour \""); break;
        case CommandFault::None: break;
        }
        PutShownWord(text, request);
        text.Put("\".\n\n");
    }
    text.Put(kUsage);
    text.Finish();
    return text.Length();
}
