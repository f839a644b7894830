'use strict';
// The simulator's page: a form for each of the plugin's endpoints (from
// /_host/describe) and the live pane of /_host/stream, filterable by type.

const liveTypes = ['response', 'core-request', 'event', 'telemetry', 'job', 'log', 'stats', 'plugin', 'describe'];
const hiddenTypes = new Set();

function element(tag, properties = {}, ...children) {
  const node = document.createElement(tag);
  Object.assign(node, properties);
  node.append(...children);
  return node;
}

// A header value carries Latin-1 at most: every character outside printable
// ASCII goes as a JSON escape, which means the same inside a JSON text (and
// outside a string it was not JSON to begin with).
function asciiJson(text) {
  return text.replace(/[^\x20-\x7e]/g, (c) => '\\u' + c.charCodeAt(0).toString(16).padStart(4, '0'));
}

function argumentField(parameter) {
  const input = element('input', { name: parameter.name, placeholder: parameter.type.kind + (parameter.optional ? ', optional' : '') });
  return element('label', {}, element('span', { textContent: parameter.name }), input);
}

function endpointForm(endpoint) {
  const method = typeof endpoint.method === 'string' ? endpoint.method : 'GET';
  const path = element('input', { className: 'path', value: endpoint.path.replace(/\?\{\+query\}$/, ''), name: 'path' });
  const send = element('button', { type: 'submit', textContent: 'Send' });
  const form = element('form', { className: 'endpoint' },
    element('div', { className: 'call' }, element('span', { className: 'method', textContent: method }), path, send));
  form.dataset.method = method;
  form.dataset.path = endpoint.path;
  // Path and query parameters are written into the path itself.
  for (const parameter of endpoint.parameters) {
    if (parameter.location !== 'path' && parameter.location !== 'query' && parameter.location !== 'body') {
      form.append(argumentField(parameter));
    }
  }
  const body = element('textarea', { name: 'body', placeholder: 'JSON body' });
  if (method === 'POST' || method === 'PUT') form.append(body);
  const answer = element('pre', { className: 'answer' });
  form.append(answer);
  form.addEventListener('submit', async (event) => {
    event.preventDefault();
    const headers = {};
    for (const input of form.querySelectorAll('label input')) {
      if (input.value.trim() !== '') headers['X-Plugin-Arg-' + input.name] = asciiJson(input.value);
    }
    const request = { method, headers };
    if (body.value.trim() !== '') {
      request.body = body.value;
      headers['Content-Type'] = 'application/json';
    }
    try {
      const response = await fetch(path.value, request);
      const text = await response.text();
      answer.textContent = response.status + ' ' + text;
      answer.classList.toggle('failed', !response.ok);
    } catch (error) {
      answer.textContent = 'not sent: ' + error;
      answer.classList.add('failed');
    }
  });
  return form;
}

async function showEndpoints() {
  const status = document.getElementById('plugin-status');
  try {
    const description = await (await fetch('/_host/describe')).json();
    const list = document.getElementById('endpoint-list');
    for (const endpoint of description.endpoints) list.append(endpointForm(endpoint));
    status.textContent = description.endpoints.length + ' endpoints';
  } catch (error) {
    status.textContent = 'the endpoints cannot be read: ' + error;
  }
}

function showFilters() {
  const filters = document.getElementById('filters');
  for (const type of liveTypes) {
    const box = element('input', { type: 'checkbox', checked: true, name: type });
    box.addEventListener('change', () => {
      if (box.checked) hiddenTypes.delete(type); else hiddenTypes.add(type);
      for (const item of document.querySelectorAll('#live-list li')) {
        item.classList.toggle('hidden', hiddenTypes.has(item.dataset.type));
      }
    });
    filters.append(element('label', {}, box, element('span', { textContent: type })));
  }
}

function watchStream() {
  const state = document.getElementById('stream-state');
  const list = document.getElementById('live-list');
  const stream = new EventSource('/_host/stream');
  stream.onopen = () => { state.textContent = 'watching'; };
  stream.onerror = () => { state.textContent = 'disconnected, retrying…'; };
  stream.onmessage = (message) => {
    let type = 'other';
    try { type = JSON.parse(message.data).type; } catch (error) { /* shown as it came */ }
    const item = element('li', { textContent: message.data });
    item.dataset.type = type;
    item.classList.toggle('hidden', hiddenTypes.has(type));
    list.prepend(item);
    // The pane keeps the newest thousand lines.
    while (list.childElementCount > 1000) list.lastElementChild.remove();
  };
}

showFilters();
watchStream();
showEndpoints();
