#pragma once
// One program at a time per plan: an exclusive lock on the plan file (which
// is only ever read), held while the object lives. The kernel drops it when
// the process ends, however it ends, so a killed program leaves none behind.
#include <string>

namespace tvx::plano::os {

class TravaPlano {
  public:
    TravaPlano() = default;
    ~TravaPlano();
    TravaPlano(const TravaPlano&) = delete;
    TravaPlano& operator=(const TravaPlano&) = delete;

    enum class Resultado { Travado, EmUso, Falhou };
    // Falhou: errno's number in erro.
    Resultado Travar(const std::string& caminho, int& erro);

  private:
    int fd_ = -1;
};

}  // namespace tvx::plano::os
