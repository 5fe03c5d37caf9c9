<?php
// Receives Kadrix screenshot uploads: one multipart/form-data field named
// "screenshot" holding a JPEG. The picture is stored under an unguessable
// name in the folder shots/ beside this script, and the reply is its address
// as plain UTF-8 text. Anything else gets a reply beginning with "Ошибка."
// and a short reason, which Kadrix shows to the user as it is.
//
// Behind a web server, serve this file as /sites/kadrix/upload_screenshot.php
// and shots/ beside it as static files. Under PHP's built-in server
// (scripts/upload-service) this file is also the router and serves the
// stored pictures itself.

declare(strict_types=1);

const MAX_SCREENSHOT_BYTES = 32 * 1024 * 1024;
const STORED_NAME = '/^[0-9a-f]{32}\.jpg$/';

// KADRIX_SHOTS_DIR moves the pictures elsewhere (tests use a temporary folder).
function shots_folder(): string
{
    $folder = getenv('KADRIX_SHOTS_DIR');
    return is_string($folder) && $folder !== '' ? rtrim($folder, '/\\') : __DIR__ . '/shots';
}

function reply_text(string $text): void
{
    header('Content-Type: text/plain; charset=utf-8');
    header('Cache-Control: no-store');
    echo $text;
}

// A refusal is still a 200 reply: Kadrix shows the text of a 2xx reply only.
function refuse(string $reason): void
{
    reply_text('Ошибка. ' . $reason);
}

function serve_stored_picture(string $path): void
{
    $name = basename($path);
    $file = shots_folder() . '/' . $name;
    if (dirname($path) !== shots_url_folder($path) || !preg_match(STORED_NAME, $name) || !is_file($file)) {
        http_response_code(404);
        reply_text('Not found');
        return;
    }
    header('Content-Type: image/jpeg');
    header('Content-Length: ' . filesize($file));
    readfile($file);
}

// The URL folder of the pictures: shots/ beside the script's own URL.
function shots_url_folder(string $path): string
{
    return rtrim(dirname(upload_url_path($path)), '/') . '/shots';
}

function upload_url_path(string $requestPath): string
{
    if (PHP_SAPI === 'cli-server') return '/sites/kadrix/upload_screenshot.php';
    return $_SERVER['SCRIPT_NAME'] ?? $requestPath;
}

function ensure_shots_folder(string $folder): bool
{
    if (!is_dir($folder) && !@mkdir($folder, 0755, true) && !is_dir($folder)) return false;
    // A server that lists folders must not list the unguessable names.
    $index = $folder . '/index.html';
    if (!is_file($index)) @file_put_contents($index, '');
    return is_writable($folder);
}

function receive_upload(string $path): void
{
    if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
        refuse('Screenshots are uploaded with POST.');
        return;
    }
    if ($_FILES === [] && $_POST === [] && (int)($_SERVER['CONTENT_LENGTH'] ?? 0) > 0) {
        refuse('The screenshot is larger than this service accepts.');
        return;
    }
    if (count($_FILES) !== 1 || !isset($_FILES['screenshot']) || $_POST !== []
        || !is_string($_FILES['screenshot']['tmp_name'] ?? null)) {
        refuse('Only one form field, "screenshot", holding a JPEG picture is accepted.');
        return;
    }
    $upload = $_FILES['screenshot'];
    if ($upload['error'] === UPLOAD_ERR_INI_SIZE || $upload['error'] === UPLOAD_ERR_FORM_SIZE
        || $upload['size'] > MAX_SCREENSHOT_BYTES) {
        refuse('The screenshot is larger than this service accepts.');
        return;
    }
    if ($upload['error'] !== UPLOAD_ERR_OK || !is_uploaded_file($upload['tmp_name'])) {
        refuse('The screenshot did not arrive whole.');
        return;
    }
    $head = (string)file_get_contents($upload['tmp_name'], false, null, 0, 3);
    if ($head !== "\xFF\xD8\xFF") {
        refuse('The file is not a JPEG picture.');
        return;
    }
    $folder = shots_folder();
    if (!ensure_shots_folder($folder)) {
        refuse('The service cannot store screenshots: its shots folder is not writable.');
        return;
    }
    $name = bin2hex(random_bytes(16)) . '.jpg';
    if (!move_uploaded_file($upload['tmp_name'], $folder . '/' . $name)) {
        refuse('The service could not store the screenshot.');
        return;
    }
    @chmod($folder . '/' . $name, 0644);

    $https = !empty($_SERVER['HTTPS']) && strtolower((string)$_SERVER['HTTPS']) !== 'off';
    $host = $_SERVER['HTTP_HOST'] ?? ($_SERVER['SERVER_NAME'] . ':' . $_SERVER['SERVER_PORT']);
    reply_text(($https ? 'https' : 'http') . '://' . $host . shots_url_folder($path) . '/' . $name);
}

$path = (string)(parse_url($_SERVER['REQUEST_URI'] ?? '/', PHP_URL_PATH) ?: '/');
if (PHP_SAPI === 'cli-server' && $path !== upload_url_path($path)) {
    serve_stored_picture($path);
} else {
    receive_upload($path);
}
