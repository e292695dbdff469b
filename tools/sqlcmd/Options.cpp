#include "Options.h"

namespace sqlcmd {

namespace {

// Options that take a value; the value may follow at once ("-SFolder") or as the next argument.
const QString valueOptions = QStringLiteral("SdQqiosUPhlt");
const QString flagOptions = QStringLiteral("WbE?");

QString unknown(const QString &arg)
{
    return QStringLiteral("Sqlcmd: '%1': Unknown Option. Enter '-?' for help.").arg(arg);
}

} // namespace

ParseResult parseArguments(const QStringList &arguments)
{
    ParseResult r;
    Options &o = r.options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &arg = arguments.at(i);
        if (arg == QLatin1String("--help") || arg == QLatin1String("/?")) {
            o.help = true;
            continue;
        }
        if (arg.size() < 2 || arg.at(0) != QLatin1Char('-')) {
            r.error = unknown(arg);
            return r;
        }
        const QChar letter = arg.at(1);
        if (flagOptions.contains(letter) && arg.size() == 2) {
            switch (letter.toLatin1()) {
            case 'W': o.trimSpaces = true; break;
            case 'b': o.exitOnError = true; break;
            case 'E': o.trusted = true; break;
            default: o.help = true; break;
            }
            continue;
        }
        if (!valueOptions.contains(letter)) {
            r.error = unknown(arg);
            return r;
        }
        QString value;
        if (arg.size() > 2) {
            value = arg.mid(2);
        } else if (i + 1 < arguments.size()) {
            value = arguments.at(++i);
        } else {
            r.error = QStringLiteral("Sqlcmd: '%1': Missing argument. Enter '-?' for help.").arg(arg);
            return r;
        }
        switch (letter.toLatin1()) {
        case 'S': o.server = value; break;
        case 'd': o.database = value; break;
        case 'Q':
        case 'q': o.query = value; break;
        case 'i':
            // sqlcmd takes several input files as a comma-separated list, or -i more than once.
            o.inputFiles << value.split(QLatin1Char(','), Qt::SkipEmptyParts);
            break;
        case 'o': o.outputFile = value; break;
        case 'U': o.user = value; break;
        case 'P': o.password = value; break;
        case 's': o.separator = value; break;
        case 'h': {
            bool ok = false;
            const int n = value.toInt(&ok);
            if (!ok || n == 0 || n < -1) {
                r.error = QStringLiteral("Sqlcmd: '-h %1': Argument value has to be -1 or greater than 0.").arg(value);
                return r;
            }
            o.headings = n != -1;
            break;
        }
        default: // -l (login timeout), -t (query timeout): accepted for scripts written for sqlcmd
            break;
        }
    }
    if (!o.query.isEmpty() && !o.inputFiles.isEmpty())
        r.error = QStringLiteral("Sqlcmd: The -Q and the -i options are mutually exclusive.");
    return r;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: talvor-sqlcmd -S target [-d database] [-U login [-P password] | -E]\n"
        "                     [-Q \"statements\" | -i file[,file...]] [-o file]\n"
        "                     [-h -1] [-s separator] [-W] [-b]\n"
        "\n"
        "  -S  an embedded database folder, an ODBC connection string or a DSN\n"
        "      (default: the variable TALVOR_DATABASE)\n"
        "  -d  starting database (default Patient_Data)\n"
        "  -U  login; without -P the password is read from SQLCMDPASSWORD or asked for\n"
        "  -E  integrated sign-in (Trusted_Connection=yes)\n"
        "  -Q  run the statements and exit\n"
        "  -i  run script files whose batches are separated by lines holding only GO\n"
        "      (without -Q and -i, batches are read from standard input)\n"
        "  -o  write the results to a file instead of standard output\n"
        "  -h -1  no column headings;  -s  column separator;  -W  no padding\n"
        "  -b  stop and exit with status 1 when a statement fails\n");
}

} // namespace sqlcmd
