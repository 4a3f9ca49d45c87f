#include "core/progresso.h"

#include <map>
#include <utility>

namespace tvx {

namespace {

// Registered names compare without regard to ASCII case, as the platform's
// registered window messages do.
struct MenorSemCaixa {
    bool operator()(const std::string& a, const std::string& b) const {
        const size_t n = a.size() < b.size() ? a.size() : b.size();
        for (size_t i = 0; i < n; ++i) {
            const unsigned char ca = Minuscula(static_cast<unsigned char>(a[i]));
            const unsigned char cb = Minuscula(static_cast<unsigned char>(b[i]));
            if (ca != cb) {
                return ca < cb;
            }
        }
        return a.size() < b.size();
    }
    static unsigned char Minuscula(unsigned char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
    }
};

constexpr uint32_t kPrimeiraMensagem = 0xC000;
constexpr uint32_t kUltimaMensagem = 0xFFFF;

}  // namespace

uint32_t RegistrarMensagem(std::string_view nome) {
    // An empty name registers nothing, and the range of registered numbers is
    // finite: 0 is the failure answer in both cases.
    if (nome.empty()) {
        return 0;
    }
    static std::mutex mutex;
    static std::map<std::string, uint32_t, MenorSemCaixa> registradas;

    std::lock_guard<std::mutex> trava(mutex);
    std::string chave(nome);
    const auto existente = registradas.find(chave);
    if (existente != registradas.end()) {
        return existente->second;
    }
    const uint32_t numero = kPrimeiraMensagem + static_cast<uint32_t>(registradas.size());
    if (numero > kUltimaMensagem) {
        return 0;
    }
    registradas.emplace(std::move(chave), numero);
    return numero;
}

uint32_t MensagemIncluirProcesso() {
    static const uint32_t numero = RegistrarMensagem(kNomeMensagemProgresso);
    return numero;
}

bool PostarTexto(JanelaProgresso* janela, uint32_t mensagem, std::string_view texto) {
    if (janela == nullptr) {
        return false;
    }
    return janela->PostarMensagem(mensagem, LinhaProgresso{std::string(texto), false});
}

bool PostarTextoFixo(JanelaProgresso* janela, uint32_t mensagem, const char* literal) {
    // A message without text would reach the page as a line it must not show;
    // it is simply not sent.
    if (janela == nullptr || literal == nullptr) {
        return false;
    }
    return janela->PostarMensagem(mensagem, LinhaProgresso{std::string(literal), true});
}

bool FilaProgresso::PostarMensagem(uint32_t mensagem, LinhaProgresso linha) {
    if (mensagem == 0 || mensagem != MensagemIncluirProcesso()) {
        return false;
    }
    {
        std::lock_guard<std::mutex> trava(mutex_);
        todas_.push_back(linha.texto);
        pendentes_.push_back(std::move(linha));
    }
    chegou_.notify_all();
    return true;
}

std::optional<LinhaProgresso> FilaProgresso::Retirar(std::chrono::milliseconds espera) {
    std::unique_lock<std::mutex> trava(mutex_);
    if (espera.count() > 0) {
        chegou_.wait_for(trava, espera, [this] { return !pendentes_.empty(); });
    }
    if (pendentes_.empty()) {
        return std::nullopt;
    }
    LinhaProgresso linha = std::move(pendentes_.front());
    pendentes_.pop_front();
    return linha;
}

std::vector<std::string> FilaProgresso::Textos() const {
    std::lock_guard<std::mutex> trava(mutex_);
    return todas_;
}

}  // namespace tvx
