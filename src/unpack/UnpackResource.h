// Resource ids of the one-file program: its payload (the shipped folder as a cabinet) and the payload's SHA-256.
#pragma once

#define IDR_PAYLOAD 101
#define IDR_PAYLOAD_SHA256 102
