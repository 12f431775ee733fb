// png-crc.js - the CRC-32 that every PNG chunk carries over its type and data.

const Table = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
        let c = n;
        for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
        table[n] = c >>> 0;
    }
    return table;
})();

// The CRC of bytes[start, end).
export function crc32(bytes, start, end) {
    let crc = 0xffffffff;
    for (let i = start; i < end; ++i) crc = Table[(crc ^ bytes[i]) & 0xff] ^ (crc >>> 8);
    return (crc ^ 0xffffffff) >>> 0;
}
