// Prints the text of every page of a PDF as pdf.js reads it: one line per text item, and a
// line "--- page N" before each page. Usage: node pdfjs_text.mjs FILE [PASSWORD]
// pdfjs-dist is looked for in $PDFJS_DIST (the package folder), then in ./pdfjs/node_modules
// beside this script (where scripts/install-deps.sh puts it). Exit status: 0 when read, 1 when
// the file cannot be opened (a wrong or missing password included), 2 when pdf.js is missing.
import { readFile } from "node:fs/promises";
import { pathToFileURL } from "node:url";
import { existsSync } from "node:fs";
import path from "node:path";

const [file, password] = process.argv.slice(2);
if (!file) {
    console.error("usage: node pdfjs_text.mjs FILE [PASSWORD]");
    process.exit(1);
}
const here = path.dirname(new URL(import.meta.url).pathname);
const packageDir = process.env.PDFJS_DIST || path.join(here, "pdfjs", "node_modules", "pdfjs-dist");
const entry = path.join(packageDir, "legacy", "build", "pdf.mjs");
if (!existsSync(entry)) {
    console.error(`pdfjs-dist not found at ${packageDir}`);
    process.exit(2);
}
// Reading text needs no canvas: stand-ins for the drawing classes the library touches when it
// loads (the real ones come with an optional native package that is not installed).
if (globalThis.DOMMatrix === undefined) {
    globalThis.DOMMatrix = class DOMMatrix {
        constructor(init) {
            [this.a, this.b, this.c, this.d, this.e, this.f] = init ?? [1, 0, 0, 1, 0, 0];
        }
    };
}
if (globalThis.Path2D === undefined) {
    globalThis.Path2D = class Path2D {};
}
if (globalThis.ImageData === undefined) {
    globalThis.ImageData = class ImageData {};
}
const pdfjs = await import(pathToFileURL(entry).href);

try {
    const data = new Uint8Array(await readFile(file));
    const task = pdfjs.getDocument({
        data,
        password: password ?? undefined,
        useSystemFonts: false,
        disableFontFace: true,
        isEvalSupported: false,
        verbosity: 0,
    });
    const doc = await task.promise;
    for (let n = 1; n <= doc.numPages; ++n) {
        const page = await doc.getPage(n);
        const content = await page.getTextContent();
        console.log(`--- page ${n}`);
        for (const item of content.items) {
            if (item.str !== undefined && item.str.length > 0) {
                console.log(item.str);
            }
        }
    }
    await doc.destroy();
} catch (e) {
    console.error(`${e.name}: ${e.message}`);
    process.exit(1);
}
