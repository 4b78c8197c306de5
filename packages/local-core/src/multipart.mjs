// Reading the one file of a multipart/form-data upload.

/** The boundary of a multipart/form-data content type, or null. */
export function boundaryOf(contentType) {
  if (typeof contentType !== 'string') return null;
  const [type, ...params] = contentType.split(';');
  if (type.trim().toLowerCase() !== 'multipart/form-data') return null;
  for (const param of params) {
    const eq = param.indexOf('=');
    if (eq < 0 || param.slice(0, eq).trim().toLowerCase() !== 'boundary') continue;
    let value = param.slice(eq + 1).trim();
    if (value.startsWith('"') && value.endsWith('"') && value.length >= 2) value = value.slice(1, -1);
    return value.length >= 1 && value.length <= 70 ? value : null;
  }
  return null;
}

function partName(headerText) {
  for (const line of headerText.split('\r\n')) {
    const colon = line.indexOf(':');
    if (colon < 0 || line.slice(0, colon).trim().toLowerCase() !== 'content-disposition') continue;
    const match = /;\s*name="([^"]*)"/i.exec(line.slice(colon + 1)) ?? /;\s*name=([^;\s]+)/i.exec(line.slice(colon + 1));
    return match ? match[1] : null;
  }
  return null;
}

/** The bytes of the part named `name` in `body` (a Buffer), or null when there is none. */
export function findPart(body, boundary, name) {
  const delimiter = Buffer.from(`--${boundary}`);
  let at = body.indexOf(delimiter);
  while (at >= 0) {
    const afterDelimiter = at + delimiter.length;
    if (body.subarray(afterDelimiter, afterDelimiter + 2).toString('latin1') === '--') return null;
    const headerStart = afterDelimiter + 2;  // past "\r\n"
    const headerEnd = body.indexOf('\r\n\r\n', headerStart, 'latin1');
    if (headerEnd < 0) return null;
    const next = body.indexOf(Buffer.from(`\r\n--${boundary}`), headerEnd + 4);
    if (next < 0) return null;
    if (partName(body.subarray(headerStart, headerEnd).toString('utf8')) === name) {
      return body.subarray(headerEnd + 4, next);
    }
    at = next + 2;
  }
  return null;
}
