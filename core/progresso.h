#pragma once
// Progress lines travel from the worker to the programming page as posted
// messages under the registered number of "WM_INCLUIR_PROCESSO". Posting never
// blocks and never touches a widget; a line carries its text by value, so the
// receiver frees nothing and nothing leaks when it is gone.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvx {

inline constexpr const char* kNomeMensagemProgresso = "WM_INCLUIR_PROCESSO";

// Process-wide registry of message names: the same name always gives the same
// number, from 0xC000 up, as the platform's registered messages do.
uint32_t RegistrarMensagem(std::string_view nome);
// The number of "WM_INCLUIR_PROCESSO", registered on first use.
uint32_t MensagemIncluirProcesso();

struct LinhaProgresso {
    std::string texto;  // UTF-8; "\r\n" inside stays
    bool fixo = false;  // a program literal (the fixed form) or a copy (the dynamic form)
};

// Whatever receives progress lines: the programming page, the headless front
// end, a test. Implementations queue the line and return at once.
class JanelaProgresso {
  public:
    virtual ~JanelaProgresso() = default;
    virtual bool PostarMensagem(uint32_t mensagem, LinhaProgresso linha) = 0;
};

// Dynamic form: the text is copied into the message.
bool PostarTexto(JanelaProgresso* janela, uint32_t mensagem, std::string_view texto);
// Fixed form: a literal that lives for the whole process.
bool PostarTextoFixo(JanelaProgresso* janela, uint32_t mensagem, const char* literal);

// A thread-safe queue of lines: the receiver of the headless front end and of
// the tests. Only messages with the progress number are kept.
class FilaProgresso : public JanelaProgresso {
  public:
    bool PostarMensagem(uint32_t mensagem, LinhaProgresso linha) override;
    // Waits up to espera for the next line.
    std::optional<LinhaProgresso> Retirar(std::chrono::milliseconds espera);
    // Every text posted so far, in order (also those already taken).
    std::vector<std::string> Textos() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable chegou_;
    std::deque<LinhaProgresso> pendentes_;
    std::vector<std::string> todas_;
};

}  // namespace tvx
