#pragma once
// Where the profile and the log live when nobody names them. A technician
// who keeps a folder per site starts the program there, and that folder
// holds tvxnetcfg.ini: both files stay in it. Started from the desktop menu
// the working directory is the home folder or "/", so the files go where a
// Linux user looks for them: the profile under $XDG_CONFIG_HOME/tvxnetcfg/,
// the log under $XDG_STATE_HOME/tvxnetcfg/.
#include <string>

#include "persistence/os/arquivos.h"

namespace tvx {

inline constexpr const char* kNomeConfiguracao = "tvxnetcfg.ini";
inline constexpr const char* kNomeLog = "tvxnetcfg.log";
inline constexpr const char* kPastaDoPrograma = "tvxnetcfg";

struct LocaisArquivos {
    // The profile's path; empty for the working directory's, worked out at
    // every load and save.
    std::string configuracao;
    std::string log = kNomeLog;
    // Where "Ler Configuração" opens; empty for the working directory.
    std::string pastaConfiguracao;
};

// The working directory when it holds tvxnetcfg.ini (or when there is no
// home folder to go by), else the user's folders. Nothing is created here.
LocaisArquivos LocaisDosArquivos();

// Before a file is written: when it goes into the program's folder under the
// user's configuration or state folder, that folder is made (0700) if it is
// missing. No other folder is ever made.
os::ResultadoArquivo PrepararPasta(const std::string& caminho);

}  // namespace tvx
