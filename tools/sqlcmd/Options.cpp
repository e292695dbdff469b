#include "Options.h"

namespace sqlcmd {

namespace {

// Options that take a value; the value may follow at once ("-SFolder") or as the next argument.
const QString valueOptions = QStringLiteral("SdUPHltQqiocshwyYmVv");
// Options that stand alone, and those whose value, if any, is joined to them ("-r1", "-X1").
const QString flagOptions = QStringLiteral("EeNCbWxIDA?");
const QString joinedOptions = QStringLiteral("rXk");

QString unknown(const QString &arg)
{
    return QStringLiteral("Sqlcmd: '%1': Unknown Option. Enter '-?' for help.").arg(arg);
}

QString outOfRange(const QString &option, const QString &value, const QString &range)
{
    return QStringLiteral("Sqlcmd: '%1 %2': %3").arg(option, value, range);
}

} // namespace

ParseResult parseArguments(const QStringList &arguments)
{
    ParseResult r;
    Options &o = r.options;
    const auto fail = [&](const QString &message) {
        r.error = message;
        return r;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("/?")) {
            o.help = true;
            continue;
        }
        if (arg.size() < 2 || arg.at(0) != QLatin1Char('-'))
            return fail(unknown(arg));
        const QChar letter = arg.at(1);
        const QString option = arg.left(2);

        if (joinedOptions.contains(letter)) {
            const QString value = arg.mid(2);
            if (letter == QLatin1Char('r')) {
                if (value != QLatin1String("") && value != QLatin1String("0") && value != QLatin1String("1"))
                    return fail(unknown(arg));
                o.redirect = value == QLatin1String("1") ? 1 : 0;
            } else if (letter == QLatin1Char('X')) {
                o.noEnvironment = true;
            } else {
                if (value != QLatin1String("") && value != QLatin1String("1") && value != QLatin1String("2"))
                    return fail(unknown(arg));
                o.controlCharacters = value == QLatin1String("2") ? 2 : 1;
            }
            continue;
        }
        if (flagOptions.contains(letter)) {
            if (arg.size() != 2)
                return fail(unknown(arg));
            switch (letter.toLatin1()) {
            case 'E': o.trusted = true; break;
            case 'e': o.echo = true; break;
            case 'N': o.encrypt = true; break;
            case 'C': o.trustServerCertificate = true; break;
            case 'b': o.exitOnError = true; break;
            case 'W': o.trimSpaces = true; break;
            case 'x': o.noVariables = true; break;
            case '?': o.help = true; break;
            default: break; // -I, -D, -A: the engine's identifiers, DSNs and connections need no switch
            }
            continue;
        }
        if (!valueOptions.contains(letter))
            return fail(unknown(arg));
        QString value;
        if (arg.size() > 2) {
            value = arg.mid(2);
        } else if (i + 1 < arguments.size()) {
            value = arguments.at(++i);
        } else {
            return fail(QStringLiteral("Sqlcmd: '%1': Missing argument. Enter '-?' for help.").arg(arg));
        }
        const auto number = [&](int low, int high) -> std::optional<int> {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n < low || n > high)
                return std::nullopt;
            return n;
        };
        switch (letter.toLatin1()) {
        case 'S': o.server = value; break;
        case 'd': o.database = value; break;
        case 'U': o.user = value; break;
        case 'P': o.password = value; break;
        case 'H': o.workstation = value; break;
        case 'Q': o.query = value; break;
        case 'q': o.initialQuery = value; break;
        case 'i': o.inputFiles << value.split(QLatin1Char(','), Qt::SkipEmptyParts); break;
        case 'o': o.outputFile = value; break;
        case 'c': o.terminator = value; break;
        case 's': o.separator = value; break;
        case 'l': {
            const auto n = number(0, 65534);
            if (!n)
                return fail(outOfRange(option, value, QStringLiteral("Value must be between 0 and 65534.")));
            o.loginTimeout = *n;
            break;
        }
        case 't': {
            const auto n = number(1, 65534);
            if (!n)
                return fail(outOfRange(option, value, QStringLiteral("Value must be between 1 and 65534.")));
            o.queryTimeout = *n;
            break;
        }
        case 'h': {
            const auto n = number(-1, 2147483647);
            if (!n || *n == 0)
                return fail(outOfRange(option, value, QStringLiteral("Argument value has to be -1 or greater than 0.")));
            o.headers = *n;
            break;
        }
        case 'w': {
            const auto n = number(9, 65535);
            if (!n)
                return fail(outOfRange(option, value, QStringLiteral("Value must be greater than 8 and less than 65536.")));
            o.screenWidth = *n;
            break;
        }
        case 'y':
        case 'Y': {
            const auto n = number(0, 8000);
            if (!n)
                return fail(outOfRange(option, value, QStringLiteral("Value must be between 0 and 8000.")));
            (letter == QLatin1Char('y') ? o.maxVarWidth : o.maxFixedWidth) = *n;
            break;
        }
        case 'm':
        case 'V': {
            const auto n = number(-1, 25);
            if (!n)
                return fail(outOfRange(option, value, QStringLiteral("Value must be between -1 and 25.")));
            (letter == QLatin1Char('m') ? o.errorLevel : o.severityLevel) = *n;
            break;
        }
        case 'v': {
            // -v takes every name=value that follows, up to the next option. A shell splits
            // `Name ="Value"` into two arguments; they are one assignment.
            QStringList pieces{value};
            while (i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1Char('-')))
                pieces << arguments.at(++i);
            for (qsizetype p = 0; p < pieces.size(); ++p) {
                QString piece = pieces.at(p);
                if (!piece.contains(QLatin1Char('=')) && p + 1 < pieces.size() &&
                    pieces.at(p + 1).startsWith(QLatin1Char('=')))
                    piece += pieces.at(++p);
                const qsizetype eq = piece.indexOf(QLatin1Char('='));
                if (eq <= 0)
                    return fail(QStringLiteral("Sqlcmd: '-v %1': Invalid argument. Enter '-?' for help.").arg(piece));
                o.variables.append({piece.left(eq).trimmed(), piece.mid(eq + 1)});
            }
            break;
        }
        default:
            break;
        }
    }
    if (!o.query.isEmpty() && !o.inputFiles.isEmpty())
        return fail(QStringLiteral("Sqlcmd: The -Q and the -i options are mutually exclusive."));
    if (!o.initialQuery.isEmpty() && !o.inputFiles.isEmpty())
        return fail(QStringLiteral("Sqlcmd: The -q and the -i options are mutually exclusive."));
    if (o.trusted && (!o.user.isEmpty() || o.password))
        return fail(QStringLiteral("Sqlcmd: The -E and the -U/-P options are mutually exclusive."));
    if (o.trimSpaces && (o.maxVarWidth != 256 || o.maxFixedWidth != 0))
        return fail(QStringLiteral("Sqlcmd: The -W and the -y/-Y options are mutually exclusive."));
    return r;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: talvor-sqlcmd [-S target] [-d database] [-U login [-P password] | -E]\n"
        "                     [-Q \"batch\" | -q \"batch\" | -i file[,file...]] [-o file]\n"
        "                     [-v name=value...] [-h rows] [-s separator] [-w width] [-W]\n"
        "                     [-y width] [-Y width] [-b] [-m level] [-V level] [-r[0|1]]\n"
        "                     [-e] [-x] [-k[1|2]] [-c terminator] [-l seconds] [-t seconds] [-N] [-C]\n"
        "\n"
        "  -S  an embedded database folder, an ODBC connection string or a DSN\n"
        "      (default: the variable SQLCMDSERVER, then TALVOR_DATABASE)\n"
        "  -d  starting database (embedded default Patient_Data)\n"
        "  -U  login; without -P the password is read from SQLCMDPASSWORD or asked for\n"
        "  -E  integrated sign-in (Trusted_Connection=yes)\n"
        "  -l  login time limit, -t  time limit of each batch (seconds)\n"
        "  -N  encrypt the connection, -C  trust the server's certificate\n"
        "  -Q  run the batch and exit, -q  run it and go on reading standard input\n"
        "  -i  run script files: batches end at a line GO [count]; :setvar, :r, :on error,\n"
        "      :out, :error, :reset, :list, :listvar, quit and exit[(query)] are understood\n"
        "  -o  write results and messages to a file\n"
        "  -v  set scripting variables, used in scripts as $(name); -x leaves $(name) alone\n"
        "  -h  rows between headings (-1: none), -s  column separator, -w  screen width\n"
        "  -W  no padding, trailing blanks removed; -y/-Y  widest large/sized text column\n"
        "  -k  control characters in values printed as blanks (-k2: each run as one)\n"
        "  -b  stop with exit status 1 when a batch fails; -V  lowest level that counts\n"
        "  -m  lowest error level shown (-1: a heading for every message)\n"
        "  -r  messages to standard error (-r0 errors only, -r1 all)\n"
        "  -e  echo each batch before running it\n");
}

} // namespace sqlcmd
