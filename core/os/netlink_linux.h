#pragma once
// Walking a netlink reply. glibc's NLMSG_OK compares the header's unsigned
// length with the signed count of bytes left, which clang rejects as a sign
// comparison; this does the same checks with the types made explicit.
#include <linux/netlink.h>

namespace tvx::os {

// Whether a whole message starts at h with restante bytes left in the reply.
inline bool MensagemNetlinkInteira(const nlmsghdr* h, int restante) {
    return restante >= static_cast<int>(sizeof(nlmsghdr)) && h->nlmsg_len >= sizeof(nlmsghdr) &&
           h->nlmsg_len <= static_cast<unsigned>(restante);
}

}  // namespace tvx::os
