#pragma once
// A real pseudo-terminal pair: the program opens the slave by its path, the
// test plays the device on the master side.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tvx::teste {

class PtyTeste {
  public:
    PtyTeste();
    ~PtyTeste();
    PtyTeste(const PtyTeste&) = delete;
    PtyTeste& operator=(const PtyTeste&) = delete;

    const std::string& CaminhoEscravo() const { return caminho_; }
    int Mestre() const { return mestre_; }
    void Escrever(const std::vector<uint8_t>& bytes);
    // Reads until minimo bytes arrived or espera passed.
    std::vector<uint8_t> Ler(size_t minimo, std::chrono::milliseconds espera);
    // Both ends gone from the device side: the slave is hung up.
    void Desligar();

  private:
    int mestre_ = -1;
    int escravo_ = -1;  // kept open so the master never sees a hang-up between opens
    std::string caminho_;
};

}  // namespace tvx::teste
